# The HTML editor against the real web engine, headless.
velloran_test(tst_editor SOURCES tst_editor.cpp LIBS editor)
velloran_test(tst_editor_library SOURCES tst_editor_library.cpp LIBS editor)
