# Mixed loop, Tcl's fast form: a compiled procedure with locals.
proc step {} {
  global N
  incr N
}

proc main {} {
  set i 0; set x 0.0; set s ""; set b 0
  while {$i < 1000000} {
    set x [expr {$x + ($i * 3 % 7) / 2.0}]
    set s "n$i"
    step
    set b [::tcl::mathop::& $i 255]
    set i [expr {$i + 1}]
  }
  global N
  puts "checksum $i [expr {int($x * 2)}] $s [string length $s] $N $b"
}
set N 0
main
