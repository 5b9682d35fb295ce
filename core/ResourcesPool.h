#pragma once
// A pool of resources that can give their memory back at any time and take
// it again on next use. The pool keeps its resources newest first; when a
// registration makes it hold more than its capacity, the oldest beyond the
// capacity are released (they stay registered and re-acquire on use). Under
// memory pressure a caller can release everything but itself.
//
// Pools form a two-level tree: the process-wide pool of file mappings, and
// under it one pool per mapping for its windows. The statistics counters of
// a pool also count what happens in its child pools.
//
// No locking: a pool tree and its resources are used by one thread at a time.

#include <cstdint>
#include <list>

namespace Core {

class ResourcesPool {
public:
    class Resource {
    public:
        // Unregisters from the pool (a derived class releases first).
        virtual ~Resource();
        // Takes the memory back; true when the resource is usable.
        virtual bool acquire() = 0;
        // Gives the memory back; the resource stays registered.
        virtual void release() = 0;
        // True while the resource holds memory that release would free.
        virtual bool isHeld() const = 0;

        // The pool this resource is registered in; null once that pool has
        // been destroyed.
        ResourcesPool* pool() const { return m_pool; }

        Resource(const Resource&) = delete;
        Resource& operator=(const Resource&) = delete;

    protected:
        // Registers in pool (may be null: then the resource is in no pool).
        explicit Resource(ResourcesPool* pool);
        // Called when the pool goes away before the resource does.
        virtual void poolDestroyed() {}

    private:
        friend class ResourcesPool;
        ResourcesPool* m_pool;
        std::list<Resource*>::iterator m_position;
    };

    // capacity is at least 1; parent may be null.
    explicit ResourcesPool(std::uint32_t capacity, ResourcesPool* parent = nullptr);
    // Resources still registered are told and forget this pool.
    ~ResourcesPool();
    ResourcesPool(const ResourcesPool&) = delete;
    ResourcesPool& operator=(const ResourcesPool&) = delete;

    // Puts the resource at the front and releases those beyond the capacity.
    void registerResource(Resource* resource);
    // Removes the resource; nothing when it is not registered here.
    void unregisterResource(Resource* resource);
    // Moves a registered resource that is not at the front to the front.
    void touch(Resource* resource);
    // Releases every resource but keep (may be null), newest first; true when
    // at least one of them held memory before the call.
    bool releaseAllBut(Resource* keep);

    std::uint32_t capacity() const { return m_capacity; }
    ResourcesPool* parent() const { return m_parent; }
    // For a child whose parent is destroyed first.
    void detachParent() { m_parent = nullptr; }
    std::size_t size() const { return m_ring.size(); }
    // Index of the resource from the front (0 = newest), or -1 when absent.
    int indexOf(const Resource* resource) const;

    // Registrations minus unregistrations made in child pools.
    std::uint32_t registeredCount() const { return m_registered; }
    // Resources released by releaseAllBut here or in a child pool.
    std::uint32_t releasedCount() const { return m_released; }
    // Touches that moved a resource, here or in a child pool.
    std::uint32_t touchedCount() const { return m_touched; }

private:
    std::uint32_t m_capacity;
    ResourcesPool* m_parent;
    // Newest first. A list, so the ring never drops an entry however many
    // resources register, and moving or removing one is constant time.
    std::list<Resource*> m_ring;
    std::uint32_t m_registered = 0;
    std::uint32_t m_released = 0;
    std::uint32_t m_touched = 0;
};

// The process-wide pool of file mappings (capacity 10, no parent).
ResourcesPool& globalResourcesPool();

} // namespace Core
