# Counting loop, Tcl's fast form: a compiled procedure with a local variable.
proc main {} {
  set i 0
  while {$i < 10000000} {
    set i [expr {$i + 1}]
  }
  puts "checksum $i"
}
main
