// The object model every interface of mlinsight is built on: identities, the
// basic reference-counted interface, an intrusive smart pointer and a base for
// objects that implement several interfaces.
//
// Example: a schema tag implements IKelMLNamedTag; query<IKelMLTag>(tag) gives
// a counted pointer to its IKelMLTag face, query<IKelMLText>(tag) gives null.
//
// The objects live on one thread (the host's user-interface thread), so the
// reference count is a plain integer.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

namespace kel {

// An interface identity, built from its string as written:
// "{CE942B07-4A6C-4243-BE19-482490827D5E}".
struct TGUID {
  uint32_t D1 = 0;
  uint16_t D2 = 0;
  uint16_t D3 = 0;
  std::array<uint8_t, 8> D4{};

  friend constexpr bool operator==(const TGUID&, const TGUID&) = default;
  std::string ToString() const;
};

namespace detail {
constexpr int HexDigit(char C) {
  if (C >= '0' && C <= '9') return C - '0';
  if (C >= 'a' && C <= 'f') return C - 'a' + 10;
  if (C >= 'A' && C <= 'F') return C - 'A' + 10;
  return -1;
}
// Throwing inside a constexpr evaluation makes a malformed literal a compile error.
constexpr uint64_t HexRun(std::string_view S, size_t From, size_t Count) {
  uint64_t V = 0;
  for (size_t I = From; I < From + Count; ++I) {
    const int D = HexDigit(S[I]);
    if (D < 0) throw "malformed GUID";
    V = V * 16 + static_cast<uint64_t>(D);
  }
  return V;
}
}  // namespace detail

// Parses "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}". Used on literals at compile
// time; at run time a malformed text throws a const char*.
constexpr TGUID MakeGUID(std::string_view S) {
  if (S.size() != 38 || S[0] != '{' || S[9] != '-' || S[14] != '-' || S[19] != '-' || S[24] != '-' ||
      S[37] != '}')
    throw "malformed GUID";
  TGUID G;
  G.D1 = static_cast<uint32_t>(detail::HexRun(S, 1, 8));
  G.D2 = static_cast<uint16_t>(detail::HexRun(S, 10, 4));
  G.D3 = static_cast<uint16_t>(detail::HexRun(S, 15, 4));
  G.D4[0] = static_cast<uint8_t>(detail::HexRun(S, 20, 2));
  G.D4[1] = static_cast<uint8_t>(detail::HexRun(S, 22, 2));
  for (size_t I = 0; I < 6; ++I) G.D4[2 + I] = static_cast<uint8_t>(detail::HexRun(S, 25 + 2 * I, 2));
  return G;
}

using HResult = int32_t;
inline constexpr HResult S_OK = 0;
inline constexpr HResult E_NOINTERFACE = static_cast<HResult>(0x80004002u);

// The basic interface. Operation order: query, add reference, release.
class IInterface {
 public:
  static constexpr TGUID IID = MakeGUID("{00000000-0000-0000-C000-000000000046}");
  virtual HResult QueryInterface(const TGUID& IID, void** Obj) = 0;
  virtual int32_t AddRef() = 0;
  virtual int32_t Release() = 0;

 protected:
  ~IInterface() = default;
};

// Declares an interface's identity and the interface it derives from, so that
// queries can walk the derivation chain.
#define KEL_INTERFACE(Name, Parent, Guid)               \
 public:                                                \
  using InterfaceBase = Parent;                         \
  static constexpr ::kel::TGUID IID = ::kel::MakeGUID(Guid); \
                                                        \
 protected:                                             \
  ~Name() = default;                                    \
                                                        \
 public:

// Intrusive counted pointer to an interface (or to any object with
// AddRef/Release). Null is the empty reference.
template <class T>
class TKelPtr {
 public:
  TKelPtr() = default;
  TKelPtr(std::nullptr_t) {}
  TKelPtr(T* P) : FPtr(P) {
    if (FPtr) FPtr->AddRef();
  }
  TKelPtr(const TKelPtr& O) : TKelPtr(O.FPtr) {}
  TKelPtr(TKelPtr&& O) noexcept : FPtr(std::exchange(O.FPtr, nullptr)) {}
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  TKelPtr(const TKelPtr<U>& O) : TKelPtr(static_cast<T*>(O.get())) {}
  ~TKelPtr() { reset(); }

  TKelPtr& operator=(TKelPtr O) noexcept {
    std::swap(FPtr, O.FPtr);
    return *this;
  }
  void reset() {
    if (T* P = std::exchange(FPtr, nullptr)) P->Release();
  }
  // Takes over a reference that somebody already counted (an out parameter).
  static TKelPtr Adopt(T* P) {
    TKelPtr R;
    R.FPtr = P;
    return R;
  }

  T* get() const { return FPtr; }
  T* operator->() const { return FPtr; }
  T& operator*() const { return *FPtr; }
  explicit operator bool() const { return FPtr != nullptr; }
  friend bool operator==(const TKelPtr& A, const TKelPtr& B) { return A.FPtr == B.FPtr; }
  friend bool operator==(const TKelPtr& A, std::nullptr_t) { return A.FPtr == nullptr; }

 private:
  T* FPtr = nullptr;
};

// Asks an object for the interface I by I's identity; null when it has none.
template <class I, class P>
TKelPtr<I> query(P* Obj) {
  if (!Obj) return nullptr;
  void* Out = nullptr;
  if (Obj->QueryInterface(I::IID, &Out) != S_OK) return nullptr;
  return TKelPtr<I>::Adopt(static_cast<I*>(Out));
}
template <class I, class P>
TKelPtr<I> query(const TKelPtr<P>& Obj) {
  return query<I>(Obj.get());
}

// True when the object answers a query for I.
template <class I, class P>
bool supports(const P& Obj) {
  return static_cast<bool>(query<I>(Obj));
}

namespace detail {
// Finds the face of interface I (or one of the interfaces it derives from)
// whose identity is Id.
template <class I>
void* CastAlong(I* Self, const TGUID& Id) {
  if (Id == I::IID) return Self;
  if constexpr (std::is_same_v<I, IInterface>) {
    return nullptr;
  } else {
    return CastAlong<typename I::InterfaceBase>(static_cast<typename I::InterfaceBase*>(Self), Id);
  }
}
}  // namespace detail

// Reference counting shared by every object the system hands out through
// interfaces. Objects start with count 0 and are deleted when the count falls
// back to 0, so they must live on the heap and be held through TKelPtr.
class TKelRefCount {
 public:
  TKelRefCount() = default;
  TKelRefCount(const TKelRefCount&) = delete;
  TKelRefCount& operator=(const TKelRefCount&) = delete;
  virtual ~TKelRefCount() = default;
  int32_t RefCount() const { return FRefCount; }

 protected:
  int32_t FRefCount = 0;
};

// Base for a reference-counted object implementing the interfaces Is... (and
// every interface they derive from). A query for IInterface answers with the
// first interface's face.
template <class... Is>
class TKelInterfaced : public TKelRefCount, public Is... {
  static_assert(sizeof...(Is) > 0);

 public:
  HResult QueryInterface(const TGUID& Id, void** Obj) override {
    void* Found = QueryOwn(Id);
    if (!Found) {
      *Obj = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    *Obj = Found;
    return S_OK;
  }
  int32_t AddRef() override { return ++FRefCount; }
  int32_t Release() override {
    const int32_t N = --FRefCount;
    if (N == 0) delete this;
    return N;
  }

 protected:
  // Derived classes that add interfaces override this and fall back to it.
  virtual void* QueryOwn(const TGUID& Id) {
    void* Found = nullptr;
    ((Found = Found ? Found : detail::CastAlong<Is>(static_cast<Is*>(this), Id)), ...);
    return Found;
  }
};

// Extends an interfaced base class with further interfaces.
template <class Base, class... Is>
class TKelExtend : public Base, public Is... {
 public:
  using Base::Base;
  HResult QueryInterface(const TGUID& Id, void** Obj) override { return Base::QueryInterface(Id, Obj); }
  int32_t AddRef() override { return Base::AddRef(); }
  int32_t Release() override { return Base::Release(); }

 protected:
  void* QueryOwn(const TGUID& Id) override {
    void* Found = nullptr;
    ((Found = Found ? Found : detail::CastAlong<Is>(static_cast<Is*>(this), Id)), ...);
    return Found ? Found : Base::QueryOwn(Id);
  }
};

// Creates an interfaced object and hands it out as a counted pointer.
template <class T, class... Args>
TKelPtr<T> MakeKel(Args&&... A) {
  return TKelPtr<T>(new T(std::forward<Args>(A)...));
}

}  // namespace kel
