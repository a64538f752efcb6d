# Converts $input to OASIS at $output with KLayout's own writer. $options
# holds comma-separated words: "cblocks" (compressed blocks), "strict"
# (strict name tables), "level=N" (shape compression level 0-10: from 1 up
# KLayout looks for repetitions); without $options KLayout's defaults.
# Run: klayout -b -rd input=IN.gds -rd output=OUT.oas [-rd options=...] -r write_oasis.rb

ly = RBA::Layout.new
ly.read($input)
opt = RBA::SaveLayoutOptions.new
opt.format = "OASIS"
if $options
  words = $options.split(",")
  opt.oasis_write_cblocks = words.include?("cblocks")
  opt.oasis_strict_mode = words.include?("strict")
  level = words.find { |w| w.start_with?("level=") }
  opt.oasis_compression_level = level ? level.split("=")[1].to_i : 0
end
ly.write($output, opt)
