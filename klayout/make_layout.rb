# Builds a small hierarchical layout with KLayout and writes it twice:
# $gds, KLayout's own GDSII stream, and $ascii, layer 1 flattened and merged by
# KLayout, as a text dump. Both must read into the same features.
# Run: klayout -b -rd gds=OUT.gds -rd ascii=OUT.ascii -r make_layout.rb

ly = RBA::Layout.new
ly.dbu = 0.001
top = ly.create_cell("TOP")
child = ly.create_cell("CHILD")
leaf = ly.create_cell("LEAF")
metal = ly.layer(1, 0)
pins = ly.layer(1, 2)
other = ly.layer(2, 0)

def pt(x, y)
  RBA::Point.new(x, y)
end

# An asymmetric child, so that every reflection and rotation shows.
child.shapes(metal).insert(RBA::Box.new(0, 0, 400, 60))
child.shapes(metal).insert(RBA::Polygon.new([pt(0, 200), pt(0, 500), pt(60, 500), pt(60, 260),
                                             pt(300, 260), pt(300, 200)]))
child.shapes(pins).insert(RBA::Box.new(340, 0, 400, 140))  # overlaps the box above
child.shapes(metal).insert(RBA::Path.new([pt(500, 30), pt(800, 30), pt(800, 400)], 40, 0, 0))
child.shapes(metal).insert(RBA::Path.new([pt(500, 600), pt(900, 600)], 40, 20, 20))  # square ends
child.shapes(metal).insert(RBA::Path.new([pt(1000, 0), pt(1000, 500)], 60, 10, 70))  # own extensions
child.shapes(other).insert(RBA::Box.new(0, 0, 2000, 2000))
leaf.shapes(metal).insert(RBA::Box.new(0, 0, 100, 100))
child.insert(RBA::CellInstArray.new(leaf.cell_index, RBA::Trans.new(RBA::Trans::R0, 1200, 700)))

top.insert(RBA::CellInstArray.new(child.cell_index, RBA::Trans.new(RBA::Trans::R0, 0, 0)))
top.insert(RBA::CellInstArray.new(child.cell_index, RBA::Trans.new(RBA::Trans::R90, 5000, 0)))
top.insert(RBA::CellInstArray.new(child.cell_index, RBA::Trans.new(RBA::Trans::R180, 8000, 3000)))
top.insert(RBA::CellInstArray.new(child.cell_index, RBA::Trans.new(RBA::Trans::M0, 9000, 3000)))
top.insert(RBA::CellInstArray.new(child.cell_index,
                                  RBA::ICplxTrans.new(2.0, 270, true, RBA::Vector.new(0, 9000))))
# A 3 x 2 array, mirrored and turned, whose neighbours overlap.
top.insert(RBA::CellInstArray.new(child.cell_index, RBA::Trans.new(RBA::Trans::M45, 12000, 0),
                                  RBA::Vector.new(0, 1300), RBA::Vector.new(-1100, 0), 3, 2))
ly.write($gds)

merged = RBA::Region.new(top.begin_shapes_rec(metal))
merged += RBA::Region.new(top.begin_shapes_rec(pins))
polygons = merged.merged.each.to_a
polygons.sort_by! { |p| [p.bbox.bottom, p.bbox.left] }
File.open($ascii, "w") do |f|
  f.puts "HEADER: 600", "BGNLIB: ", "LIBNAME: #{ly.cell_name(top.cell_index)}LIB",
         "UNITS: 0.001, 1e-09", "BGNSTR: ", "STRNAME: TOP"
  polygons.each do |p|
    raise "hole in the test layout" if p.holes > 0
    pts = p.each_point_hull.to_a
    pts << pts[0]
    f.puts "BOUNDARY", "LAYER: 1", "DATATYPE: 0", "XY: " + pts.map { |q| "#{q.x}: #{q.y}" }.join(", "),
           "ENDEL"
  end
  f.puts "ENDSTR", "ENDLIB"
end
puts "features #{polygons.size}"
