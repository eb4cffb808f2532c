; test library
[band animal]
cat *2
dog
fox
[band colour]
red
blue
[template pet *3]
The {colour} {animal} sleeps.
[template pair]
A {animal} and a {other:animal}.
[template ˜a•¶]
{animal}‚ª‚¢‚Ü‚·B
