#include "support/xml_check.h"

#include <cctype>
#include <stdexcept>

namespace testsupport {

namespace {

struct Parser {
    const std::string& s;
    size_t i = 0;

    [[noreturn]] void fail(const std::string& why) {
        throw std::runtime_error(why + " at offset " + std::to_string(i));
    }
    bool startsWith(const char* t) const {
        return s.compare(i, std::char_traits<char>::length(t), t) == 0;
    }
    void skipSpace() {
        while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
    }
    void skipPast(const char* t) {
        const size_t at = s.find(t, i);
        if (at == std::string::npos) fail(std::string("missing ") + t);
        i = at + std::char_traits<char>::length(t);
    }
    // Comments and processing instructions between elements.
    void skipMisc() {
        for (;;) {
            skipSpace();
            if (startsWith("<?"))
                skipPast("?>");
            else if (startsWith("<!--"))
                skipPast("-->");
            else
                return;
        }
    }
    std::string name() {
        const size_t start = i;
        while (i < s.size() && (std::isalnum(static_cast<unsigned char>(s[i])) || s[i] == '-' ||
                                s[i] == '_' || s[i] == ':' || s[i] == '.'))
            ++i;
        if (i == start || std::isdigit(static_cast<unsigned char>(s[start]))) fail("bad name");
        return s.substr(start, i - start);
    }
    // Character data up to the next '<': every '&' starts a known reference.
    std::string chars(char stop) {
        const size_t start = i;
        while (i < s.size() && s[i] != stop && s[i] != '<') {
            if (s[i] == '&') {
                const size_t semi = s.find(';', i);
                const std::string ref =
                    semi == std::string::npos ? "" : s.substr(i + 1, semi - i - 1);
                const bool known = ref == "amp" || ref == "lt" || ref == "gt" || ref == "quot" ||
                                   ref == "apos" || (ref.size() > 1 && ref[0] == '#');
                if (!known) fail("bad reference");
                i = semi;
            }
            ++i;
        }
        return s.substr(start, i - start);
    }
    XmlElement element() {
        if (!startsWith("<")) fail("expected an element");
        ++i;
        XmlElement e;
        e.name = name();
        for (;;) {
            const size_t before = i;
            skipSpace();
            if (startsWith("/>")) {
                i += 2;
                return e;
            }
            if (startsWith(">")) {
                ++i;
                break;
            }
            if (i == before) fail("attributes must be separated by white space");
            const std::string key = name();
            skipSpace();
            if (!startsWith("=")) fail("attribute without value");
            ++i;
            skipSpace();
            if (i >= s.size() || (s[i] != '"' && s[i] != '\'')) fail("unquoted attribute");
            const char quote = s[i++];
            const std::string value = chars(quote);
            if (i >= s.size() || s[i] != quote) fail("'<' in an attribute");
            ++i;
            if (!e.attributes.emplace(key, value).second) fail("repeated attribute " + key);
        }
        for (;;) {
            e.text += chars('<');
            if (i >= s.size()) fail("unclosed element " + e.name);
            if (startsWith("<!--")) {
                skipPast("-->");
            } else if (startsWith("</")) {
                i += 2;
                if (name() != e.name) fail("crossing end tag in " + e.name);
                skipSpace();
                if (!startsWith(">")) fail("bad end tag");
                ++i;
                return e;
            } else {
                e.children.push_back(element());
            }
        }
    }
};

void collect(const XmlElement& e, const std::string& name, std::vector<const XmlElement*>& out) {
    if (e.name == name) out.push_back(&e);
    for (const XmlElement& c : e.children) collect(c, name, out);
}

}  // namespace

bool parseXml(const std::string& document, XmlElement& root, std::string& error) {
    Parser p{document};
    try {
        p.skipMisc();
        root = p.element();
        p.skipMisc();
        if (p.i != document.size()) p.fail("content after the root element");
    } catch (const std::runtime_error& e) {
        error = e.what();
        return false;
    }
    return true;
}

std::vector<const XmlElement*> findElements(const XmlElement& root, const std::string& name) {
    std::vector<const XmlElement*> out;
    collect(root, name, out);
    return out;
}

}  // namespace testsupport
