#include "core/ResourcesPool.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using Core::ResourcesPool;

namespace {

// A resource that holds "memory" as a flag and counts its calls.
class Fake : public ResourcesPool::Resource {
public:
    explicit Fake(ResourcesPool* pool) : Resource(pool) {}
    bool acquire() override {
        ++acquires;
        held = true;
        return true;
    }
    void release() override {
        ++releases;
        held = false;
    }
    bool isHeld() const override { return held; }

    bool held = true;
    int acquires = 0;
    int releases = 0;
};

} // namespace

TEST(ResourcesPool, RegistrationBeyondCapacityReleasesTheOldest) {
    ResourcesPool parent(10);
    ResourcesPool pool(3, &parent);
    Fake a(&pool), b(&pool), c(&pool);
    EXPECT_EQ(parent.registeredCount(), 3u);
    EXPECT_EQ(pool.registeredCount(), 0u);
    EXPECT_EQ(a.releases, 0);

    Fake d(&pool);
    EXPECT_EQ(a.releases, 1);
    EXPECT_FALSE(a.held);
    EXPECT_TRUE(b.held && c.held && d.held);
    // Released, still registered, at the back.
    EXPECT_EQ(pool.size(), 4u);
    EXPECT_EQ(pool.indexOf(&d), 0);
    EXPECT_EQ(pool.indexOf(&a), 3);
    EXPECT_EQ(a.pool(), &pool);
    // Registration's own releases are not counted as releaseAllBut's.
    EXPECT_EQ(pool.releasedCount(), 0u);

    // Touch moves to the front and counts here and in the parent; touching
    // the front resource changes nothing.
    pool.touch(&a);
    EXPECT_EQ(pool.indexOf(&a), 0);
    EXPECT_EQ(pool.indexOf(&d), 1);
    pool.touch(&a);
    EXPECT_EQ(pool.touchedCount(), 1u);
    EXPECT_EQ(parent.touchedCount(), 1u);
    Fake stranger(&parent);
    pool.touch(&stranger);
    EXPECT_EQ(pool.touchedCount(), 1u);

    // A fifth releases what is now the oldest beyond capacity: b and c
    // (indexes 3 and 4), oldest first.
    Fake e(&pool);
    EXPECT_EQ(b.releases, 1);
    EXPECT_EQ(c.releases, 1);
    EXPECT_EQ(a.releases, 1);
    EXPECT_EQ(parent.registeredCount(), 5u);
}

TEST(ResourcesPool, ReleaseAllButReportsWhetherAnythingWasFreed) {
    ResourcesPool parent(10);
    ResourcesPool pool(3, &parent);
    Fake a(&pool), b(&pool);
    EXPECT_TRUE(pool.releaseAllBut(&b));
    EXPECT_FALSE(a.held);
    EXPECT_TRUE(b.held);
    EXPECT_EQ(pool.releasedCount(), 1u);
    EXPECT_EQ(parent.releasedCount(), 1u);
    // Only a (already released) is left to release: nothing freed, counted.
    EXPECT_FALSE(pool.releaseAllBut(&b));
    EXPECT_EQ(pool.releasedCount(), 2u);
    EXPECT_TRUE(pool.releaseAllBut(nullptr));
    EXPECT_FALSE(b.held);
    EXPECT_FALSE(pool.releaseAllBut(nullptr));
    EXPECT_EQ(pool.size(), 2u);
    EXPECT_EQ(parent.releasedCount(), 6u);
}

TEST(ResourcesPool, UnregistrationAndPoolsThatGoFirst) {
    ResourcesPool parent(10);
    auto pool = std::make_unique<ResourcesPool>(2, &parent);
    auto a = std::make_unique<Fake>(pool.get());
    Fake b(pool.get());
    EXPECT_EQ(parent.registeredCount(), 2u);
    a.reset();
    EXPECT_EQ(pool->size(), 1u);
    EXPECT_EQ(parent.registeredCount(), 1u);
    // Unregistering what is not registered here changes nothing.
    Fake other(&parent);
    pool->unregisterResource(&other);
    pool->unregisterResource(nullptr);
    EXPECT_EQ(parent.registeredCount(), 1u);
    EXPECT_EQ(other.pool(), &parent);

    pool.reset();
    EXPECT_EQ(b.pool(), nullptr);
    // b's destruction must not touch the destroyed pool (ASan would tell).
}

// The ring never drops an entry, however many resources register: every
// one stays reachable for release and unregisters cleanly.
TEST(ResourcesPool, RingHoldsAnyNumberOfResources) {
    ResourcesPool& pool = Core::globalResourcesPool(); // of ten
    ASSERT_EQ(pool.size(), 0u);
    std::vector<std::unique_ptr<Fake>> all;
    for (int i = 0; i < 100; ++i)
        all.push_back(std::make_unique<Fake>(&pool));
    EXPECT_EQ(pool.size(), 100u);
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(all[i]->held, i >= 90) << i;
        EXPECT_EQ(pool.indexOf(all[i].get()), 99 - i);
    }
    // Re-acquire the very first one: releaseAllBut still reaches it.
    all[0]->acquire();
    pool.touch(all[0].get());
    EXPECT_TRUE(pool.releaseAllBut(nullptr));
    EXPECT_FALSE(all[0]->held);
    for (int i = 0; i < 100; i += 2)
        all[i].reset();
    EXPECT_EQ(pool.size(), 50u);
    all.clear();
    EXPECT_EQ(pool.size(), 0u);
}
