# The tone synthesizer: processor time per second of sound.
sornafex_bench(audio_bench SOURCES audio_bench.cpp DEPS sornafex_audio)
