# Included by CTest before the test programs of a folder are listed and run:
# they run on the headless platform with a fixed font, and under the
# sanitizers (when built with them) stop at the first report.
set(ENV{QT_QPA_PLATFORM} offscreen)
set(ENV{QT_QPA_FONTDIR} /usr/share/fonts/truetype/dejavu)
set(ENV{ASAN_OPTIONS} detect_leaks=1)
set(ENV{UBSAN_OPTIONS} print_stacktrace=1:halt_on_error=1)
# The thread-sanitizer build: the first report fails the test.
set(ENV{TSAN_OPTIONS} "halt_on_error=1:exitcode=66:second_deadlock_stack=1:suppressions=${CMAKE_CURRENT_LIST_DIR}/../tests/tsan/qt.supp")
