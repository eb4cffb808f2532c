# Arrays, Tcl's fast form: a compiled procedure with locals.
proc main {} {
  set a [lrepeat 10000 0]
  set seed 12345; set c 0
  for {set k 0} {$k < 50} {incr k} {
    for {set r 0} {$r < 10000} {incr r} {
      set seed [expr {($seed * 1103 + 12345) % 65536}]
      lset a $r $seed
    }
    set a [lsort -integer $a]
    foreach v $a {
      set c [expr {($c * 7 + $v) % 1000003}]
    }
  }
  puts "checksum $c $seed"
}
main
