nothere.vx more words
