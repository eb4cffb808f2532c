# Subroutines, passing values through global variables as the script does.
set I 0; set A 0; set R 0; set ACC 0; set LEVEL 0

proc work {} {
  global A R
  set R [expr {($A * 3) % 1000}]
}

proc deep {} {
  global ACC LEVEL
  set LEVEL [expr {$LEVEL + 1}]
  if {$LEVEL < 20} {
    deep
  }
  set ACC [expr {($ACC * 3 + $LEVEL) % 1000003}]
  set LEVEL [expr {$LEVEL - 1}]
}

while {$I < 1000000} {
  set A $I
  work
  set ACC [expr {($ACC + $R) % 1000003}]
  if {$I % 1000 == 0} {
    deep
  }
  set I [expr {$I + 1}]
}
puts "checksum $ACC"
