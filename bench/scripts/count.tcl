# Counting loop, with a global variable as in the script.
set I 0
while {$I < 10000000} {
  set I [expr {$I + 1}]
}
puts "checksum $I"
