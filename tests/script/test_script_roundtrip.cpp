// placeholder, filled last
