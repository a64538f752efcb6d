# KLayout's own spacing check of a decomposed layout, per mask datatype (1 to masks, by
# default 3), as a second opinion next to chromasect-check:
#   klayout -b -rd input=OUT.gds -rd layer=1 -rd space=120 -rd masks=3 -r klayout/mask_space.rb
# For each mask it prints
#   MASK <datatype> polygons <P> pairs <N> edge_pairs <E> notches <M>
# P: merged polygons; N: distinct pairs of different polygons closer than the spacing
# (Euclidean, unshielded: the measure chromasect-check uses); E: the edge pairs of that
# check; M: edge pairs closer than the spacing within one polygon, which chromasect-check
# does not count.
ly = RBA::Layout.new
ly.read($input)
layer = ($layer || "1").to_i
space = ($space || "120").to_i
dbu_space = (space * 1e-9 / (ly.dbu * 1e-6)).round  # nanometres to database units
masks = ($masks || "3").to_i
(1..masks).each do |dt|
  region = RBA::Region.new
  li = ly.find_layer(layer, dt)
  ly.top_cells.each { |c| region += RBA::Region.new(c.begin_shapes_rec(li)) } if li
  # Polygons meeting at a corner stay apart, as in chromasect's own merge.
  region.min_coherence = true
  region.merge
  polygons = region.each.to_a
  owner = {}
  polygons.each_with_index do |p, i|
    p.each_edge { |e| owner[[e.p1.x, e.p1.y, e.p2.x, e.p2.y].sort] = i }
  end
  key = lambda { |e| owner[[e.p1.x, e.p1.y, e.p2.x, e.p2.y].sort] }
  pairs = {}
  checked = region.isolated_check(dbu_space, true, RBA::Region::Euclidian, nil, nil, nil, false)
  checked.each do |ep|
    a = key.call(ep.first)
    b = key.call(ep.second)
    raise "edge of no polygon: #{ep}" if a.nil? || b.nil?
    pairs[[a, b].minmax] = true if a != b
  end
  notches = region.notch_check(dbu_space, false, RBA::Region::Euclidian, nil, nil, nil, false).count
  puts "MASK #{dt} polygons #{polygons.size} pairs #{pairs.size} edge_pairs #{checked.count} notches #{notches}"
end
