#include "core/ResourcesPool.h"

#include <cassert>
#include <vector>

namespace Core {

ResourcesPool::Resource::Resource(ResourcesPool* pool) : m_pool(nullptr) {
    if (pool)
        pool->registerResource(this);
}

ResourcesPool::Resource::~Resource() {
    if (m_pool)
        m_pool->unregisterResource(this);
}

ResourcesPool::ResourcesPool(std::uint32_t capacity, ResourcesPool* parent)
    : m_capacity(capacity), m_parent(parent) {
    assert(capacity >= 1);
}

ResourcesPool::~ResourcesPool() {
    // Take the list first: a resource told here may unregister elsewhere.
    std::list<Resource*> orphans;
    orphans.swap(m_ring);
    for (Resource* r : orphans) {
        r->m_pool = nullptr;
        r->poolDestroyed();
    }
}

void ResourcesPool::registerResource(Resource* resource) {
    assert(resource && resource->m_pool == nullptr);
    m_ring.push_front(resource);
    resource->m_pool = this;
    resource->m_position = m_ring.begin();
    if (m_parent)
        ++m_parent->m_registered;
    // Release the oldest beyond the capacity, oldest first; they stay in the
    // ring. The new resource is at the front, so it is never among them.
    if (m_ring.size() > m_capacity) {
        std::vector<Resource*> beyond;
        auto it = m_ring.end();
        for (std::size_t i = m_ring.size(); i > m_capacity; --i)
            beyond.push_back(*--it);
        for (Resource* r : beyond)
            r->release();
    }
}

void ResourcesPool::unregisterResource(Resource* resource) {
    if (!resource || resource->m_pool != this)
        return;
    m_ring.erase(resource->m_position);
    resource->m_pool = nullptr;
    if (m_parent)
        --m_parent->m_registered;
}

void ResourcesPool::touch(Resource* resource) {
    if (!resource || resource->m_pool != this || resource->m_position == m_ring.begin())
        return;
    m_ring.splice(m_ring.begin(), m_ring, resource->m_position);
    ++m_touched;
    if (m_parent)
        ++m_parent->m_touched;
}

bool ResourcesPool::releaseAllBut(Resource* keep) {
    // Copied first: releasing a resource never changes this ring, but the
    // copy keeps the walk safe even if a release hook misbehaves.
    const std::vector<Resource*> snapshot(m_ring.begin(), m_ring.end());
    bool freed = false;
    for (Resource* r : snapshot) {
        if (r == keep)
            continue;
        if (r->isHeld())
            freed = true;
        r->release();
        ++m_released;
        if (m_parent)
            ++m_parent->m_released;
    }
    return freed;
}

int ResourcesPool::indexOf(const Resource* resource) const {
    int i = 0;
    for (const Resource* r : m_ring) {
        if (r == resource)
            return i;
        ++i;
    }
    return -1;
}

ResourcesPool& globalResourcesPool() {
    static ResourcesPool s_pool(10);
    return s_pool;
}

} // namespace Core
