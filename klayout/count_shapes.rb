# Prints one line "LAYER/DATATYPE COUNT" per layer of $input (shapes of every
# top cell, hierarchy flattened), then "TOP name" per top cell. With $space
# set, also "SPACE LAYER/DATATYPE N": the pairs of polygons of one datatype
# closer than $space database units (KLayout's own spacing check).
# Run: klayout -b -rd input=FILE.gds [-rd space=D] -r count_shapes.rb

ly = RBA::Layout.new
ly.read($input)
infos = ly.layer_indexes.map { |i| [ly.get_info(i), i] }
infos.sort_by! { |info, _| [info.layer, info.datatype] }
infos.each do |info, i|
  n = 0
  ly.top_cells.each do |c|
    it = c.begin_shapes_rec(i)
    until it.at_end?
      n += 1
      it.next
    end
  end
  puts "#{info.layer}/#{info.datatype} #{n}"
  next unless $space
  region = RBA::Region.new
  ly.top_cells.each { |c| region += RBA::Region.new(c.begin_shapes_rec(i)) }
  puts "SPACE #{info.layer}/#{info.datatype} #{region.merged.space_check($space.to_i).count}"
end
ly.top_cells.each { |c| puts "TOP #{c.name}" }
