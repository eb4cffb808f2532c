# Text building, Tcl's fast form: a compiled procedure with locals.
proc main {} {
  set c 0; set m 0; set t ""
  for {set i 0} {$i < 200000} {incr i} {
    set u [string map {: =} "<$i:[expr {$i % 97}]>"]
    set n [string length $u]
    append t $u
    set m [string length $t]
    if {$m > 1000} {
      set t [string range $t end-199 end]
    }
    set c [expr {($c * 31 + $n + $m) % 1000003}]
  }
  puts "checksum $c $m"
}
main
