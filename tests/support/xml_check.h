#pragma once
// A small well-formedness checker and reader for the XML files the program
// writes: elements, attributes, text, the XML declaration and comments; no
// DTD, no namespaces beyond plain attribute names.

#include <map>
#include <string>
#include <vector>

namespace testsupport {

struct XmlElement {
    std::string name;
    std::map<std::string, std::string> attributes;  // entity references left as written
    std::vector<XmlElement> children;
    std::string text;  // character data directly inside, concatenated
};

// Parses a whole document into its root element. Returns false with a
// reason for a document that is not well-formed: unbalanced or crossing
// tags, unquoted or repeated attributes, a stray '<' or '&', content after
// the root.
bool parseXml(const std::string& document, XmlElement& root, std::string& error);

// Every element named `name` in the tree, in document order.
std::vector<const XmlElement*> findElements(const XmlElement& root, const std::string& name);

}  // namespace testsupport
