[band animal]
cat
[template t]
A {animal:bird}.
