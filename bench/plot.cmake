# bench_plot: repainting a plot of 20 curves of 100,000 points against drawing
# every point with one polyline per curve, and how repaint time follows the
# width and the number of points, at an unchanged zoom, after a zoom step and
# after a change of the data, and printing them into a PDF at printer
# resolution against plain polylines into the same PDF (offscreen platform).
if(TARGET app_plot)
  add_executable(bench_plot ${CMAKE_CURRENT_LIST_DIR}/plot_bench.cpp)
  target_link_libraries(bench_plot PRIVATE app_plot benchmark::benchmark)
endif()
