// The threads list over made-up handles: ownership of handles, snapshots, purge, selection
// by the stack flags, and concurrent writers and readers.
#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <thread>

#include "crash/stack/threads_list.h"

namespace quillan::crash {
namespace {

// Handles as numbers; each open handle names a thread that is alive or has ended.
class TFakeHandles : public IThreadHandles {
public:
    TAddress Open(int thread) {
        std::lock_guard lock(mutex_);
        open_[next_] = thread;
        return next_++;
    }
    void End(int thread) {
        std::lock_guard lock(mutex_);
        ended_[thread] = true;
    }
    void SetPriority(int thread, std::int32_t priority) {
        std::lock_guard lock(mutex_);
        priority_[thread] = priority;
    }
    size_t OpenCount() {
        std::lock_guard lock(mutex_);
        return open_.size();
    }
    bool IsOpen(TAddress handle) {
        std::lock_guard lock(mutex_);
        return open_.count(handle) != 0;
    }

    void Close(TAddress handle) override {
        std::lock_guard lock(mutex_);
        if (open_.erase(handle) == 0) ++badCloses;
    }
    TAddress Duplicate(TAddress handle) override {
        std::lock_guard lock(mutex_);
        auto it = open_.find(handle);
        if (it == open_.end()) return 0;
        open_[next_] = it->second;
        return next_++;
    }
    bool Alive(TAddress handle) override {
        std::lock_guard lock(mutex_);
        return !ended_[open_.at(handle)];
    }
    std::int32_t Priority(TAddress handle) override {
        std::lock_guard lock(mutex_);
        auto it = priority_.find(open_.at(handle));
        return it == priority_.end() ? kUnknownThreadPriority : it->second;
    }

    int badCloses = 0;

private:
    std::mutex mutex_;
    TAddress next_ = 0x100;
    std::map<TAddress, int> open_;
    std::map<int, bool> ended_;
    std::map<int, std::int32_t> priority_;
};

TMishapThreadEntry Entry(TFakeHandles& handles, std::uint32_t id) {
    TMishapThreadEntry entry;
    entry.Id = id;
    entry.Handle = handles.Open(static_cast<int>(id));
    entry.StackTop = 0x130000 + id * 0x10000;
    return entry;
}

TEST(ThreadsList, EntriesAndTheirHandles) {
    TFakeHandles handles;
    {
        TMishapThreadsList list(handles);
        int object = 0;
        TMishapThreadEntry first = Entry(handles, 10);
        first.ThreadObject = &object;
        first.ThreadClass = "TFreezeThread";
        const TAddress firstHandle = first.Handle;
        list.Add(first);
        list.Add(Entry(handles, 11));
        EXPECT_EQ(list.Count(), 2u);
        EXPECT_EQ(list.FindById(11)->StackTop, 0x130000u + 11 * 0x10000);
        EXPECT_EQ(list.FindByHandle(firstHandle)->Id, 10u);
        EXPECT_EQ(list.FindByObject(&object)->ThreadClass, "TFreezeThread");
        EXPECT_FALSE(list.FindByObject(nullptr));
        EXPECT_FALSE(list.FindById(12));

        // An id seen again (its thread ended unseen) replaces the old entry and closes its handle.
        TMishapThreadEntry again = Entry(handles, 10);
        list.Add(again);
        EXPECT_FALSE(handles.IsOpen(firstHandle));
        EXPECT_EQ(list.FindById(10)->Handle, again.Handle);
        EXPECT_EQ(list.Count(), 2u);

        EXPECT_TRUE(list.Remove(11));
        EXPECT_FALSE(list.Remove(11));
        EXPECT_EQ(handles.OpenCount(), 1u);

        EXPECT_TRUE(list.Update(10, [](TMishapThreadEntry& e) {
            e.Id = 5;  // not the change's to make
            e.Handle = 0;
            e.StartRoutine = 0x401000;
        }));
        const auto entry = list.FindById(10);
        ASSERT_TRUE(entry);
        EXPECT_EQ(entry->Handle, again.Handle);
        EXPECT_EQ(entry->StartRoutine, 0x401000u);
    }
    // The list closes what it holds, each handle once.
    EXPECT_EQ(handles.OpenCount(), 0u);
    EXPECT_EQ(handles.badCloses, 0);
}

TEST(ThreadsList, SnapshotOwnsItsHandles) {
    TFakeHandles handles;
    TMishapThreadsList list(handles);
    TMishapThreadEntry main = Entry(handles, 1);
    main.Main = true;
    list.Add(main);
    list.Add(Entry(handles, 2));
    handles.SetPriority(1, 2);
    {
        TThreadsSnapshot snapshot = list.Copy();
        ASSERT_EQ(snapshot.Entries().size(), 2u);
        const TMishapThreadEntry* copy = snapshot.Find(2);
        ASSERT_TRUE(copy);
        EXPECT_NE(copy->Handle, list.FindById(2)->Handle);
        // The thread leaves the list while the report still works on it.
        EXPECT_TRUE(list.Remove(2));
        EXPECT_TRUE(handles.IsOpen(copy->Handle));
        const auto summaries = snapshot.Summaries();
        ASSERT_EQ(summaries.size(), 2u);
        EXPECT_EQ(summaries[0].Priority, "Highest");
        EXPECT_TRUE(summaries[0].Main);
        EXPECT_EQ(summaries[1].Priority, "Unknown");
        TThreadsSnapshot moved = std::move(snapshot);
        EXPECT_EQ(moved.Entries().size(), 2u);
    }
    EXPECT_EQ(handles.OpenCount(), 1u);  // the main thread's, still listed
    EXPECT_EQ(handles.badCloses, 0);
}

TEST(ThreadsList, PurgeDropsEndedThreads) {
    TFakeHandles handles;
    TMishapThreadsList list(handles);
    for (std::uint32_t id = 1; id <= 5; ++id) list.Add(Entry(handles, id));
    handles.End(2);
    handles.End(4);
    EXPECT_EQ(list.Purge(), 2u);
    EXPECT_EQ(list.Count(), 3u);
    EXPECT_FALSE(list.FindById(2));
    EXPECT_TRUE(list.FindById(3));
    EXPECT_EQ(handles.OpenCount(), 3u);
    EXPECT_EQ(list.Purge(), 0u);
}

TEST(ThreadsList, KindsAndStackFlags) {
    TMishapThreadEntry main;
    main.Main = true;
    TMishapThreadEntry object;
    object.ThreadObject = &main;
    TMishapThreadEntry plain;
    EXPECT_TRUE(IsFrameworkThread(main));
    EXPECT_TRUE(IsFrameworkThread(object));
    EXPECT_FALSE(IsFrameworkThread(plain));
    struct {
        std::uint8_t Flags;
        bool Framework, Plain;
    } cases[] = {
        {0x00, false, false}, {0x04, true, false}, {0x08, false, true}, {0x0F, true, true}, {0x13, false, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Flags);
        EXPECT_EQ(StackWalkWanted(main, c.Flags), c.Framework);
        EXPECT_EQ(StackWalkWanted(object, c.Flags), c.Framework);
        EXPECT_EQ(StackWalkWanted(plain, c.Flags), c.Plain);
    }
}

TEST(ThreadsList, PriorityTexts) {
    const std::pair<std::int32_t, const char*> cases[] = {{kUnknownThreadPriority, "Unknown"},
                                                          {-15, "Idle"},
                                                          {-2, "Lowest"},
                                                          {-1, "Below Normal"},
                                                          {0, "Normal"},
                                                          {1, "Above Normal"},
                                                          {2, "Highest"},
                                                          {15, "Time Critical"},
                                                          {-7, "-7"},
                                                          {6, "6"}};
    for (const auto& [priority, text] : cases) EXPECT_EQ(ThreadPriorityText(priority), text);
}

TEST(ThreadsList, WritersAndReadersAtOnce) {
    TFakeHandles handles;
    TMishapThreadsList list(handles);
    std::vector<std::thread> threads;
    for (int writer = 0; writer < 4; ++writer) {
        threads.emplace_back([&, writer] {
            for (std::uint32_t i = 0; i < 500; ++i) {
                const std::uint32_t id = 1000 * (writer + 1) + i;
                list.Add(Entry(handles, id));
                EXPECT_TRUE(list.Remove(id));
            }
        });
    }
    size_t copies = 0;
    threads.emplace_back([&] {
        for (int i = 0; i < 300; ++i) {
            TThreadsSnapshot snapshot = list.Copy();
            for (const auto& entry : snapshot.Entries()) EXPECT_TRUE(entry.Handle == 0 || handles.IsOpen(entry.Handle));
            copies += snapshot.Entries().size() + 1;
        }
    });
    for (auto& thread : threads) thread.join();
    EXPECT_GT(copies, 0u);
    EXPECT_EQ(list.Count(), 0u);
    EXPECT_EQ(handles.OpenCount(), 0u);
    EXPECT_EQ(handles.badCloses, 0);
}

}  // namespace
}  // namespace quillan::crash
