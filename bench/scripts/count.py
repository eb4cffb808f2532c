# Counting loop, with a module-level variable as in the script.
I = 0
while I < 10000000:
    I = I + 1
print("checksum", I)
