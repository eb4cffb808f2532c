# Arrays, with global variables as in the script (a list, as Tcl keeps
# sequences).
set A [lrepeat 10000 0]
set SEED 12345; set C 0; set K 0
while {$K < 50} {
  set R 0
  while {$R < 10000} {
    set SEED [expr {($SEED * 1103 + 12345) % 65536}]
    lset A $R $SEED
    set R [expr {$R + 1}]
  }
  set A [lsort -integer $A]
  set R 0
  while {$R < 10000} {
    set C [expr {($C * 7 + [lindex $A $R]) % 1000003}]
    set R [expr {$R + 1}]
  }
  set K [expr {$K + 1}]
}
puts "checksum $C $SEED"
