# Every polygon of a previous decomposition that lies on one mask alone (no
# stitch to another mask) and away from the edited places keeps its mask in
# the new decomposition, exactly. Prints "KEPT n" or the polygons that moved.
#   klayout -b -r kept_masks.rb -rd previous=A.gds -rd next=B.gds -rd layer=1
#           -rd masks=K -rd boxes="l b r t;l b r t"
prev = RBA::Layout.new
prev.read($previous)
nxt = RBA::Layout.new
nxt.read($next)
layer = $layer.to_i
edited = RBA::Region.new
$boxes.split(";").each do |b|
  l, bt, r, t = b.split.map(&:to_i)
  edited.insert(RBA::Box.new(l, bt, r, t))
end
region = lambda do |ly, dt|
  li = ly.find_layer(layer, dt)
  li ? RBA::Region.new(ly.top_cell.begin_shapes_rec(li)).merged : RBA::Region.new
end
masks = $masks.to_i
before = (1..masks).map { |dt| region.call(prev, dt) }
after = (1..masks).map { |dt| region.call(nxt, dt) }
kept = 0
lost = 0
masks.times do |m|
  others = RBA::Region.new
  masks.times { |o| others += before[o] if o != m }
  before[m].each do |p|
    one = RBA::Region.new(p)
    next unless one.interacting(others).is_empty? && one.interacting(edited).is_empty?
    if (one - after[m]).is_empty?
      kept += 1
    else
      lost += 1
      puts "LOST mask #{m} #{p}"
    end
  end
end
puts "KEPT #{kept} LOST #{lost}"
