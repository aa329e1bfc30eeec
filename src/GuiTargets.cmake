# The desktop program: zel_gui and zelworld.
