# Subroutines, Tcl's fast form: compiled procedures with arguments and
# results.
proc work {a} {
  return [expr {($a * 3) % 1000}]
}

proc deep {level acc} {
  if {$level < 20} {
    set acc [deep [expr {$level + 1}] $acc]
  }
  return [expr {($acc * 3 + $level) % 1000003}]
}

proc main {} {
  set acc 0
  for {set i 0} {$i < 1000000} {incr i} {
    set acc [expr {($acc + [work $i]) % 1000003}]
    if {$i % 1000 == 0} {
      set acc [deep 1 $acc]
    }
  }
  puts "checksum $acc"
}
main
