# DCD reads per second: the port component's CarrierLevel next to the bare status query of the
# same device, on a pseudo-terminal and on the simulated sensor.
sornafex_bench(serial_bench SOURCES serial_bench.cpp DEPS sornafex_serial)
