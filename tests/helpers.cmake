# Text, date and time, INI, file, process, host and digest helpers.
velloran_test(tst_text SOURCES tst_text.cpp LIBS ztking)
