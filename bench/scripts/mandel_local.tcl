# Mandelbrot set, Tcl's fast form: a compiled procedure with locals.
proc main {} {
  set total 0
  for {set py 0} {$py < 400} {incr py} {
    set ci [expr {$py * 2.0 / 400 - 1.0}]
    for {set px 0} {$px < 400} {incr px} {
      set cr [expr {$px * 3.0 / 400 - 2.0}]
      set zr 0.0; set zi 0.0; set k 0
      while {$k < 100 && $zr * $zr + $zi * $zi <= 4.0} {
        set t [expr {$zr * $zr - $zi * $zi + $cr}]
        set zi [expr {2.0 * $zr * $zi + $ci}]
        set zr $t
        incr k
      }
      incr total $k
    }
  }
  puts "checksum $total"
}
main
