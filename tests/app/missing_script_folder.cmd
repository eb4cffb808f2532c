adir.vx more words
