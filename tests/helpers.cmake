# Text, date and time, INI, file, process, host and digest helpers.
velloran_test(tst_text SOURCES tst_text.cpp LIBS ztking)
velloran_test(tst_datetime SOURCES tst_datetime.cpp LIBS ztking)
velloran_test(tst_files SOURCES tst_files.cpp LIBS ztking)
