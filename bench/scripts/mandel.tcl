# Mandelbrot set, with global variables as in the script.
set TOTAL 0
set PY 0
while {$PY < 400} {
  set CI [expr {$PY * 2.0 / 400 - 1.0}]
  set PX 0
  while {$PX < 400} {
    set CR [expr {$PX * 3.0 / 400 - 2.0}]
    set ZR 0.0; set ZI 0.0; set K 0
    while {$K < 100 && $ZR * $ZR + $ZI * $ZI <= 4.0} {
      set T [expr {$ZR * $ZR - $ZI * $ZI + $CR}]
      set ZI [expr {2.0 * $ZR * $ZI + $CI}]
      set ZR $T
      set K [expr {$K + 1}]
    }
    set TOTAL [expr {$TOTAL + $K}]
    set PX [expr {$PX + 1}]
  }
  set PY [expr {$PY + 1}]
}
puts "checksum $TOTAL"
