# Converts $input with KLayout's own writer to $output, OASIS (or GDSII for
# a name ending .gds). $options holds comma-separated words: "cblocks"
# (compressed blocks), "strict" (strict name tables), "level=N" (shape
# compression level 0-10: from 1 up KLayout looks for repetitions), "flat"
# (the top cell flattened first); without $options KLayout's defaults.
# Run: klayout -b -rd input=IN.gds -rd output=OUT.oas [-rd options=...] -r write_oasis.rb

ly = RBA::Layout.new
ly.read($input)
opt = RBA::SaveLayoutOptions.new
opt.set_format_from_filename($output)
if $options
  words = $options.split(",")
  opt.oasis_write_cblocks = words.include?("cblocks")
  opt.oasis_strict_mode = words.include?("strict")
  level = words.find { |w| w.start_with?("level=") }
  opt.oasis_compression_level = level ? level.split("=")[1].to_i : 0
  if words.include?("flat")
    top = ly.top_cell
    top.flatten(true)
    ly.cleanup
  end
end
ly.write($output, opt)
