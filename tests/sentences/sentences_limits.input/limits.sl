[band w]
w
[template t]
{a}|{b}
