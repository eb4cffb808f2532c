# Text building, with global variables as in the script.
set I 0; set C 0; set M 0; set T ""
while {$I < 200000} {
  set J [expr {$I % 97}]
  set S "<$I:$J>"
  set U [string map {: =} $S]
  set L [string length $U]
  set T $T$U
  set M [string length $T]
  if {$M > 1000} {
    set T [string range $T [expr {$M - 200}] end]
  }
  set C [expr {($C * 31 + $L + $M) % 1000003}]
  set I [expr {$I + 1}]
}
puts "checksum $C $M"
