# Included by CTest before test discovery: test programs list their tests with
# the same headless platform and fixed font they run with.
set(ENV{QT_QPA_PLATFORM} offscreen)
set(ENV{QT_QPA_FONTDIR} /usr/share/fonts/truetype/dejavu)
