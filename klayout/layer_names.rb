# Opens $input with the layer properties $lyp in a layout view and prints
# one line per layer/datatype the file holds: "LAYER/DATATYPE NAME", the name
# of the entry of $lyp that shows it ("-" when none does).
# Run: klayout -b -rd input=FILE.gds -rd lyp=chromasect.lyp -r layer_names.rb

view = RBA::LayoutView.new
view.load_layout($input, true)
view.load_layer_props($lyp)
layout = view.cellview(0).layout
shown = {}
it = view.begin_layers
until it.at_end?
  lp = it.current
  shown[lp.layer_index] ||= lp.name if lp.layer_index >= 0
  it.next
end
infos = layout.layer_indexes.map { |i| [layout.get_info(i), i] }
infos.sort_by! { |info, _| [info.layer, info.datatype] }
infos.each { |info, i| puts "#{info.layer}/#{info.datatype} #{shown[i] || '-'}" }
