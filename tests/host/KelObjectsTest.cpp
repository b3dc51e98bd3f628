#include "host/KelObjects.h"

#include <gtest/gtest.h>

namespace kel {
namespace {

class IAlpha : public IInterface {
  KEL_INTERFACE(IAlpha, IInterface, "{11111111-2222-3333-4444-555555555555}")
  virtual int Alpha() = 0;
};
class IAlphaPlus : public IAlpha {
  KEL_INTERFACE(IAlphaPlus, IAlpha, "{11111111-2222-3333-4444-666666666666}")
  virtual int Plus() = 0;
};
class IBeta : public IInterface {
  KEL_INTERFACE(IBeta, IInterface, "{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}")
  virtual int Beta() = 0;
};
class IGamma : public IInterface {
  KEL_INTERFACE(IGamma, IInterface, "{ABCDEF01-2345-6789-ABCD-EF0123456789}")
  virtual int Gamma() = 0;
};

int Destroyed = 0;

class TBoth : public TKelInterfaced<IAlphaPlus, IBeta> {
 public:
  ~TBoth() override { ++Destroyed; }
  int Alpha() override { return 1; }
  int Plus() override { return 2; }
  int Beta() override { return 3; }
};

class TAll : public TKelExtend<TBoth, IGamma> {
 public:
  int Gamma() override { return 4; }
};

TEST(GUID, ParsesAndFormatsTheIdentityString) {
  constexpr TGUID G = MakeGUID("{CE942B07-4A6C-4243-BE19-482490827D5E}");
  EXPECT_EQ(G.D1, 0xCE942B07u);
  EXPECT_EQ(G.D2, 0x4A6C);
  EXPECT_EQ(G.D3, 0x4243);
  EXPECT_EQ(G.D4[0], 0xBE);
  EXPECT_EQ(G.D4[7], 0x5E);
  EXPECT_EQ(G.ToString(), "{CE942B07-4A6C-4243-BE19-482490827D5E}");
  EXPECT_EQ(MakeGUID("{ce942b07-4a6c-4243-be19-482490827d5e}"), G);
  EXPECT_NE(MakeGUID("{CE942B07-4A6C-4243-BE19-482490827D5F}"), G);
}

TEST(GUID, RejectsMalformedTextAtRunTime) {
  for (const char* Bad : {"", "CE942B07-4A6C-4243-BE19-482490827D5E", "{CE942B07-4A6C-4243-BE19-482490827D5G}",
                          "{CE942B07-4A6C-4243+BE19-482490827D5E}"})
    EXPECT_ANY_THROW(MakeGUID(Bad)) << Bad;
}

TEST(Objects, QueryFindsEveryInterfaceAlongEachChain) {
  auto Obj = MakeKel<TBoth>();
  auto Plus = query<IAlphaPlus>(Obj.get());
  auto Alpha = query<IAlpha>(Obj.get());
  auto Beta = query<IBeta>(Obj.get());
  auto Base = query<IInterface>(Obj.get());
  ASSERT_TRUE(Plus && Alpha && Beta && Base);
  EXPECT_EQ(Plus->Plus(), 2);
  EXPECT_EQ(Alpha->Alpha(), 1);
  EXPECT_EQ(Beta->Beta(), 3);
  EXPECT_FALSE(query<IGamma>(Obj.get()));
  // Asked from another face, the same object answers.
  EXPECT_EQ(query<IAlpha>(Beta)->Alpha(), 1);
}

TEST(Objects, ExtensionAddsInterfacesAndKeepsTheBaseOnes) {
  auto Obj = MakeKel<TAll>();
  ASSERT_TRUE(query<IGamma>(Obj.get()));
  EXPECT_EQ(query<IGamma>(Obj.get())->Gamma(), 4);
  EXPECT_EQ(query<IAlpha>(query<IGamma>(Obj.get()))->Alpha(), 1);
  EXPECT_EQ(query<IBeta>(Obj.get())->Beta(), 3);
}

TEST(Objects, LivesAsLongAsAReferenceIsHeld) {
  Destroyed = 0;
  TKelPtr<IBeta> Beta;
  {
    auto Obj = MakeKel<TBoth>();
    EXPECT_EQ(Obj->RefCount(), 1);
    Beta = query<IBeta>(Obj.get());
    EXPECT_EQ(Obj->RefCount(), 2);
    auto Failed = query<IGamma>(Obj.get());  // a failed query must not count
    EXPECT_EQ(Obj->RefCount(), 2);
  }
  EXPECT_EQ(Destroyed, 0);
  Beta.reset();
  EXPECT_EQ(Destroyed, 1);
}

TEST(Objects, PointerCopiesAndMovesCountCorrectly) {
  Destroyed = 0;
  {
    TKelPtr<TBoth> A = MakeKel<TBoth>();
    TKelPtr<TBoth> B = A;
    EXPECT_EQ(A->RefCount(), 2);
    TKelPtr<TBoth> C = std::move(B);
    EXPECT_FALSE(B);
    EXPECT_EQ(A->RefCount(), 2);
    C = A;  // self-family assignment
    EXPECT_EQ(A->RefCount(), 2);
    TKelPtr<IAlphaPlus> Up = A;  // upcast
    EXPECT_EQ(A->RefCount(), 3);
  }
  EXPECT_EQ(Destroyed, 1);
}

}  // namespace
}  // namespace kel
