[band animal]
owl
