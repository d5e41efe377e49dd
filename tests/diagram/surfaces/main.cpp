// The surface tests need a QGuiApplication for fonts, on the offscreen platform.

#include <gtest/gtest.h>

#include <QGuiApplication>

// libemf2svg keeps a few bytes of each conversion; not ours to free.
extern "C" const char* __lsan_default_suppressions() { return "leak:libemf2svg\n"; }

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
