"""The soak driver's pieces: the plan of calls, the callers on each line,
the faults, the program under test and the checks of what it filed."""
