/// \file
/// Event handlers, TEvent, and the rule by which a component tells of something.
#pragma once

#include <cstring>
#include <type_traits>
#include <utility>

/// An event handler: an object together with one of its member functions, or empty. Two handlers
/// are equal when both the object and the function are equal, which std::function cannot tell.
/// A component calls its handlers synchronously, on the GUI thread; an exception from a handler
/// passes out of the component's operation unchanged.
///
/// How a component tells of something, one rule for all of them:
/// - an event that a program assigns (a published On... property) is a TEvent handler property,
///   read by OnX() and assigned by SetOnX();
/// - a notification that a form binds in its description, or a lambda connects to, is a Qt signal;
/// - a plain function (std::function, a function pointer) only inside the library and its tests,
///   never in a published interface.
///
/// \code
/// Grid.SetOnDrawCell(TDrawCellEvent(this, &TMyForm::GridDrawCell));
/// \endcode
///
/// Unlike the components, a handler is a value that programs copy inline: its size and layout are
/// fixed, and it has no private class.
template <typename... Args>
class TEvent {
public:
    /// An empty handler.
    TEvent() = default;

    /// A handler that calls Method on Object.
    template <typename C>
    TEvent(C* Object, void (C::*Method)(Args...)) : FObject(Object), FInvoke(&Call<C>)
    {
        static_assert(sizeof Method <= sizeof FMethod, "member function pointer too large");
        std::memcpy(FMethod, &Method, sizeof Method);
    }

    /// Whether the handler is assigned.
    explicit operator bool() const { return FInvoke != nullptr; }

    /// Calls the handler with the arguments; an empty handler does nothing.
    void operator()(Args... Arguments) const
    {
        if (FInvoke)
            FInvoke(FObject, FMethod, std::forward<Args>(Arguments)...);
    }

    /// Equal when both the object and the member function are equal; empty handlers are equal.
    ///@{
    // A different class gives a different Call, so equal bytes of different classes never match.
    bool operator==(const TEvent& Other) const
    {
        return FObject == Other.FObject && FInvoke == Other.FInvoke &&
               std::memcmp(FMethod, Other.FMethod, sizeof FMethod) == 0;
    }
    bool operator!=(const TEvent& Other) const { return !(*this == Other); }
    ///@}

private:
    using TInvoke = void (*)(void*, const unsigned char*, Args...);

    template <typename C>
    static void Call(void* Object, const unsigned char* MethodBytes, Args... Arguments)
    {
        void (C::*Method)(Args...);
        std::memcpy(&Method, MethodBytes, sizeof Method);
        (static_cast<C*>(Object)->*Method)(std::forward<Args>(Arguments)...);
    }

    void* FObject = nullptr;
    TInvoke FInvoke = nullptr;
    alignas(void*) unsigned char FMethod[2 * sizeof(void*)] = {};
};

class QObject;
/// A handler told only who sent the event: (Sender).
using TNotifyEvent = TEvent<QObject*>;
