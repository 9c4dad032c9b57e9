# The model generator, checked through whisper.cpp itself: the tool runs at
# test time and writes its models into a temporary directory.
sonivane_test(modelgen_test
  SOURCES modelgen/GeneratedModelTest.cpp modelgen/ModelGenerator.cpp
  LIBS whisper
  LABELS modelgen)
target_compile_definitions(modelgen_test PRIVATE SONIVANE_MAKE_MODEL="$<TARGET_FILE:sonivane-make-model>")
add_dependencies(modelgen_test sonivane-make-model)
