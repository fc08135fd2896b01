#include "package/codec.h"
#include "tests/support/package_builder.h"

TestPackage build_library_package(const TestRequest &request) { return package_from(request, package_codec()); }
