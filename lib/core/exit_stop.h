// The live threads of one kind that the library must stop when the process
// exits. A program may return from main with them still running (the game does
// when its window is closed); the process then runs its static destructors, and
// no thread of the library may outlive the state it uses. The first Add
// registers an exit handler that stops every object still registered through
// Stop. Handlers registered then run before the destructors of every object
// constructed earlier, the registry's own included.
//
// Stop must end the object's thread (joined) and may free nothing a caller
// still holds: the object stays valid for a later close.
//
// Handlers run in the reverse order of their registration. A layer whose
// threads use those of a layer below arms the lower registry before it first
// adds, so its own threads are stopped first.
#pragma once
#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <vector>

template <typename T, void (*Stop)(T*)>
class ExitStopRegistry {
 public:
  // Registers the exit handler if that has not been done yet.
  static void Arm() {
    State& state = Get();
    std::lock_guard<std::mutex> hold(state.Mutex);
    ArmLocked(state);
  }
  // Called once the object's thread runs.
  static void Add(T* object) {
    State& state = Get();
    std::lock_guard<std::mutex> hold(state.Mutex);
    ArmLocked(state);
    state.Live.push_back(object);
  }
  // Called before the object's thread is stopped by its close.
  static void Remove(T* object) {
    State& state = Get();
    std::lock_guard<std::mutex> hold(state.Mutex);
    auto found = std::find(state.Live.begin(), state.Live.end(), object);
    if (found != state.Live.end()) state.Live.erase(found);  // the others keep their order
  }

 private:
  struct State {
    std::mutex Mutex;
    std::vector<T*> Live;
    bool HandlerRegistered = false;
  };
  static void ArmLocked(State& state) {
    if (!state.HandlerRegistered) state.HandlerRegistered = std::atexit(StopAll) == 0;
  }
  static State& Get() {
    static State state;
    return state;
  }
  static void StopAll() {
    std::vector<T*> live;
    {
      State& state = Get();
      std::lock_guard<std::mutex> hold(state.Mutex);
      live.swap(state.Live);
    }
    // Newest first: a thread started later may use one started earlier.
    for (size_t i = live.size(); i-- > 0;) Stop(live[i]);
  }
};
