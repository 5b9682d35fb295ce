#include "core/RWops.h"
#include "core/WinFile.h"
#include "tests/core/FileTestSupport.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <SDL/SDL.h>

#include <string>

using FileTests::wide;

TEST(RWops, SeeksWithEachWhence) {
    TestSupport::TempDir dir;
    const auto path = dir.write("r.bin", "0123456789");
    SDL_RWops* rw = FileSystem::createRWops(std::make_unique<FileSystem::WinFileForRead>(wide(path)));
    ASSERT_NE(rw, nullptr);
    EXPECT_EQ(SDL_RWseek(rw, 3, RW_SEEK_SET), 3);
    EXPECT_EQ(SDL_RWseek(rw, 2, RW_SEEK_CUR), 5);
    EXPECT_EQ(SDL_RWtell(rw), 5);
    EXPECT_EQ(SDL_RWseek(rw, -4, RW_SEEK_END), 6);
    char buffer[8] = {};
    EXPECT_EQ(SDL_RWread(rw, buffer, 1, 8), 4);
    EXPECT_EQ(std::string(buffer, 4), "6789");
    EXPECT_EQ(SDL_RWseek(rw, 0, RW_SEEK_END), 10);
    EXPECT_EQ(SDL_RWseek(rw, -3, RW_SEEK_CUR), 7);

    // A failed seek raises SDL's seek error; an unknown whence does not.
    SDL_ClearError();
    EXPECT_EQ(SDL_RWseek(rw, -11, RW_SEEK_END), -1);
    EXPECT_NE(std::string(SDL_GetError()).find("seek"), std::string::npos);
    SDL_ClearError();
    EXPECT_EQ(SDL_RWseek(rw, 0, 3), -1);
    EXPECT_EQ(std::string(SDL_GetError()), "");

    // The end of the data reads as an error, and so does a write here.
    SDL_RWseek(rw, 0, RW_SEEK_END);
    SDL_ClearError();
    EXPECT_EQ(SDL_RWread(rw, buffer, 1, 1), -1);
    EXPECT_NE(std::string(SDL_GetError()).find("read"), std::string::npos);
    SDL_ClearError();
    EXPECT_EQ(SDL_RWwrite(rw, "x", 1, 1), -1);
    EXPECT_NE(std::string(SDL_GetError()).find("writ"), std::string::npos);
    EXPECT_EQ(SDL_RWclose(rw), 0);
}

TEST(RWops, OwnsTheFileAndWrites) {
    bool destroyed = false;
    auto fake = std::make_unique<FileTests::FakeFile>("", &destroyed);
    FileTests::FakeFile* file = fake.get();
    SDL_RWops* rw = FileSystem::createRWops(std::move(fake));
    ASSERT_NE(rw, nullptr);
    EXPECT_EQ(SDL_RWwrite(rw, "abcdef", 3, 2), 2);
    EXPECT_EQ(file->bytes, "abcdef");
    EXPECT_EQ(SDL_RWseek(rw, 1, RW_SEEK_SET), 1);
    char buffer[4] = {};
    EXPECT_EQ(SDL_RWread(rw, buffer, 2, 3), 2); // two whole items of 2 remain
    EXPECT_EQ(std::string(buffer, 4), "bcde");
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(SDL_RWclose(rw), 0);
    EXPECT_TRUE(destroyed);
}
