def trim(s):
    return s.strip()  # يقص
