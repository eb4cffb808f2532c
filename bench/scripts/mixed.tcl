# Mixed loop, with global variables as in the script.
set I 0; set X 0.0; set S ""; set N 0; set B 0

proc step {} {
  global N
  set N [expr {$N + 1}]
}

while {$I < 1000000} {
  set X [expr {$X + ($I * 3 % 7) / 2.0}]
  set S "n$I"
  step
  set B [::tcl::mathop::& $I 255]
  set I [expr {$I + 1}]
}
puts "checksum $I [expr {int($X * 2)}] $S [string length $S] $N $B"
