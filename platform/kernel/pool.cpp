// Pool memory with per-tag accounting. Every block is recorded with its tag
// and size so a test or the host can list what is still allocated; freeing a
// block the pool does not know, or with the wrong tag, is a bug check.
#include <map>
#include <mutex>
#include <unordered_map>

#include "base/format.h"
#include "kernel/kernel.h"

namespace kern {
namespace {

struct Block {
    ULONG tag;
    std::size_t size;
};

struct Pool {
    std::mutex lock;
    std::unordered_map<PVOID, Block> blocks;
    ULONG fail_tag = 0;
    int fail_count = 0;
};

Pool& ThePool() {
    static auto* pool = new Pool;
    return *pool;
}

bool TakeInjectedFailure(Pool& pool, ULONG tag) {
    if (pool.fail_count <= 0 || (pool.fail_tag != 0 && pool.fail_tag != tag)) return false;
    --pool.fail_count;
    return true;
}

}  // namespace

std::string TagText(ULONG tag) {
    std::string text;
    for (int i = 0; i < 4; ++i) {
        const char c = static_cast<char>((tag >> (8 * i)) & 0xFF);
        text += (c >= 0x20 && c < 0x7F) ? c : '.';
    }
    return text;
}

std::vector<PoolTagUsage> PoolUsage() {
    auto& pool = ThePool();
    std::lock_guard lock(pool.lock);
    std::map<ULONG, PoolTagUsage> by_tag;
    for (const auto& [address, block] : pool.blocks) {
        auto& usage = by_tag[block.tag];
        usage.tag = block.tag;
        ++usage.allocations;
        usage.bytes += block.size;
    }
    std::vector<PoolTagUsage> result;
    for (const auto& [tag, usage] : by_tag) result.push_back(usage);
    return result;
}

std::string PoolLeakReport() {
    std::string report;
    for (const auto& usage : PoolUsage())
        report += plat::Format("pool leak: tag '%s' %zu blocks, %zu bytes\n", TagText(usage.tag), usage.allocations,
                               usage.bytes);
    return report;
}

void InjectPoolFailures(ULONG tag, int count) {
    auto& pool = ThePool();
    std::lock_guard lock(pool.lock);
    pool.fail_tag = tag;
    pool.fail_count = count;
}

namespace detail {
void ResetPool() {
    auto& pool = ThePool();
    std::lock_guard lock(pool.lock);
    for (const auto& [block, info] : pool.blocks) ::operator delete(block, std::align_val_t(16));
    pool.blocks.clear();
    pool.fail_count = 0;
}
}  // namespace detail

}  // namespace kern

extern "C" {

PVOID ExAllocatePoolWithTag(POOL_TYPE type, SIZE_T bytes, ULONG tag) {
    const bool paged = (type & 1) != 0;
    kern::RequireIrqlAtMost(paged ? APC_LEVEL : DISPATCH_LEVEL, "ExAllocatePoolWithTag");
    auto& pool = kern::ThePool();
    std::lock_guard lock(pool.lock);
    if (kern::TakeInjectedFailure(pool, tag)) return nullptr;
    PVOID block = ::operator new(bytes == 0 ? 1 : bytes, std::align_val_t(16), std::nothrow);
    if (block) pool.blocks.emplace(block, kern::Block{tag, bytes});
    return block;
}

PVOID ExAllocatePool(POOL_TYPE type, SIZE_T bytes) { return ExAllocatePoolWithTag(type, bytes, 0x656E6F4E); }

VOID ExFreePoolWithTag(PVOID block, ULONG tag) {
    kern::RequireIrqlAtMost(DISPATCH_LEVEL, "ExFreePool");
    auto& pool = kern::ThePool();
    {
        std::lock_guard lock(pool.lock);
        const auto it = pool.blocks.find(block);
        if (it == pool.blocks.end())
            kern::BugCheck(BAD_POOL_CALLER, plat::Format("BAD_POOL_CALLER: freeing %p, which is not allocated", block));
        if (tag != 0 && it->second.tag != tag)
            kern::BugCheck(BAD_POOL_CALLER, plat::Format("BAD_POOL_CALLER: freeing a '%s' block as '%s'",
                                                         kern::TagText(it->second.tag), kern::TagText(tag)));
        pool.blocks.erase(it);
    }
    ::operator delete(block, std::align_val_t(16));
}

VOID ExFreePool(PVOID block) { ExFreePoolWithTag(block, 0); }

}  // extern "C"
