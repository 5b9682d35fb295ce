#include "positioning/NmeaSentenceReader.h"
#include <gtest/gtest.h>
TEST(X, Y) {}
