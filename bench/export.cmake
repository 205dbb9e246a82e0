# The exports of a 10-hour session: EDF+ and BIDS.
sornafex_bench(export_bench SOURCES export_bench.cpp DEPS sornafex_export)
