# Moves the n-th BOUNDARY of a text dump by dx along x and prints, to the
# file named by `box`, the element's bounding box before and after the move
# as "left bottom right top" lines.
/^BOUNDARY/ { ++count }
/^XY:/ && count == n && !done {
    sub(/^XY: */, "")
    m = split($0, f, /, */)
    line = "XY: "
    l = b = 1e18; r = t = -1e18
    for (i = 1; i <= m; ++i) {
        split(f[i], c, /: */)
        x = c[1] + 0; y = c[2] + 0
        if (x < l) l = x; if (x > r) r = x; if (y < b) b = y; if (y > t) t = y
        line = line (i > 1 ? ", " : "") (x + dx) ": " y
    }
    print l, b, r, t > box
    print l + dx, b, r + dx, t > box
    print line
    done = 1
    next
}
{ print }
