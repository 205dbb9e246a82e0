# The review of a 10-hour session: opening it, a redraw, a scroll.
sornafex_bench(review_bench QT SOURCES review_bench.cpp DEPS sornafex_app)
