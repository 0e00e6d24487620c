#include "FakePlatform.h"
#include "RegDataOf.h"
#include "rollback/LastApplyStore.h"
#include "rollback/UndoRecordTrust.h"

#include <gtest/gtest.h>

namespace hostwend {
namespace {

using testing::FakePlatform;
using View = FakePlatform::View;
const std::string kRecordKey = "SOFTWARE\\Wendlebrook\\Hostwend\\LastApply";

using testing::Dword;
using testing::Sz;

LastApply Record(std::wstring_view address)
{
    LastApply record{L"2026-12-07T23:30:00Z", ApplyProgram::Window, L"BRANCH\\operator", ConnectionKind::Vsat,
                     std::wstring(address), L"7777", {}, true, std::nullopt};
    const RegData to = Sz(std::wstring(address) + L":7777:0");
    record.steps = {{
        {Sz(L"tarnsrv.corp.local:7777:0"), to},
        {Sz(L"TARNSRV:7777:1", false), to},  // another suffix, stored without its NUL
        {std::nullopt, std::nullopt},        // did not exist
        {Sz(L""), Sz(L"239.255.255.255:" + std::wstring(address))},
        {Dword(99), Dword(0x61)},
        {Dword(0), Dword(1)},
        {RegData{kRegExpandSz, {'%', 0, 0, 0}}, std::nullopt},  // refused
        {RegData{kRegBinary, {}}, Sz(address)},
    }};
    return record;
}

UndoRecordRead Read(FakePlatform& fake)
{
    const UndoRecordRead read = ReadLastApply(fake);
    EXPECT_EQ(fake.OpenHandleCount(), 0u);
    return read;
}

TEST(LastApplyStore, KeepsEveryValueByteForByteInItsOwnTypeInThe64BitView)
{
    for (bool windows64 : {true, false}) {
        SCOPED_TRACE(windows64 ? "64-bit Windows" : "32-bit Windows: one view");
        FakePlatform fake;
        fake.windows64 = windows64;
        EXPECT_EQ(Read(fake).state, UndoRecordState::None);

        ASSERT_EQ(WriteLastApply(fake, Record(L"10.0.0.5")), kErrorSuccess);

        EXPECT_EQ(fake.OpenHandleCount(), 0u);
        const UndoRecordRead read = Read(fake);
        ASSERT_EQ(read.state, UndoRecordState::Read) << read.reason;
        EXPECT_EQ(*read.lastApply, Record(L"10.0.0.5"));
        EXPECT_TRUE(fake.KeyExists(kRecordKey, View::Wow64));
        EXPECT_EQ(fake.KeyExists(kRecordKey, View::Wow32), !windows64);
        // Readable in regedit: the client's data under the value's own name and type.
        EXPECT_EQ(fake.Value(kRecordKey, "DisableTCPBcast before", View::Wow64)->type, kRegDword);
        ASSERT_EQ(fake.createdWithSddl.size(), 1u);
        const KeySecurity security = FakePlatform::SecurityFromSddl(fake.createdWithSddl[0]);
        EXPECT_EQ(UndoRecordTrustProblem(security), L"");
        for (const AccessEntry& entry : security.dacl)
            EXPECT_TRUE(entry.sid == kSystemSid || entry.sid == kAdministratorsSid) << fake.createdWithSddl[0];
    }
}

TEST(LastApplyStore, ANewRecordLeavesNothingOfTheOldOneAndMarkUndoneIsKept)
{
    FakePlatform fake;
    ASSERT_EQ(WriteLastApply(fake, Record(L"10.0.0.5")), kErrorSuccess);
    ASSERT_EQ(MarkUndone(fake, L"2026-12-08T01:02:03Z", L"CORP\\admin"), kErrorSuccess);
    UndoRecordRead read = Read(fake);
    ASSERT_EQ(read.state, UndoRecordState::Read);
    EXPECT_EQ(read.lastApply->undone, (UndoMark{L"2026-12-08T01:02:03Z", L"CORP\\admin"}));

    LastApply next = Record(L"10.9.9.9");
    next.steps[0] = {};
    next.steps[3].written.reset();
    ASSERT_EQ(WriteLastApply(fake, next), kErrorSuccess);

    read = Read(fake);
    ASSERT_EQ(read.state, UndoRecordState::Read);
    EXPECT_EQ(*read.lastApply, next);
}

// Cut at every write, and once more by a power cut that keeps only what was
// flushed: a reader finds the old record whole, the new one whole, or none it
// may use, never parts of both.
TEST(LastApplyStore, ARecordCutShortAtAnyWriteIsNeverTakenForAWholeOne)
{
    const LastApply old = Record(L"10.0.0.5");
    const LastApply next = Record(L"10.9.9.9");
    for (bool first : {false, true}) {
        SCOPED_TRACE(first ? "the first record" : "a record replacing another");
        bool sawUnreadable = false;
        for (int writes = 0;; ++writes) {
            SCOPED_TRACE(writes);
            FakePlatform fake;
            if (!first) {
                ASSERT_EQ(WriteLastApply(fake, old), kErrorSuccess);
            }
            fake.writesLeft = writes;
            const RegStatus status = WriteLastApply(fake, next);
            for (bool powerCut : {false, true}) {
                if (powerCut)
                    fake.PowerCut();
                const UndoRecordRead read = Read(fake);
                if (read.state != UndoRecordState::Read) {
                    sawUnreadable |= read.state == UndoRecordState::Unreadable;
                    EXPECT_NE(status, kErrorSuccess);
                    EXPECT_TRUE(read.state == UndoRecordState::Unreadable || (first && read.state == UndoRecordState::None));
                    continue;
                }
                // Whole but not yet flushed when the last flush failed: the apply is refused all the same.
                EXPECT_TRUE(*read.lastApply == next || (status != kErrorSuccess && !first && *read.lastApply == old));
            }
            if (status == kErrorSuccess)
                break;
            EXPECT_EQ(status, 1117);
        }
        EXPECT_TRUE(sawUnreadable);
    }
}

TEST(LastApplyStore, ARecordOthersCouldWriteIsUntrustedAndNoneIsWrittenThere)
{
    const struct { const char* sddl; std::wstring problemNames; } cases[] = {
        {"O:BAD:(A;CIIO;GR;;;BU)(A;;KA;;;BA)", L""},  // Wine's one descriptor for every key
        {"O:SYD:P(A;;KA;;;SY)(A;;KR;;;BU)(D;;KA;;;WD)", L""},
        {"O:BAD:P(A;;KA;;;BA)(A;IO;KA;;;BU)", L""},  // inherit-only: not this key
        {"O:BUD:P(A;;KA;;;SY)(A;;KA;;;BA)", L"S-1-5-32-545"},
        {"O:S-1-5-21-1-2-3-1001D:P(A;;KA;;;BA)", L"S-1-5-21-1-2-3-1001"},
        {"O:BA", L"no DACL"},
        {"O:BAD:P(A;;KA;;;BA)(A;;0x2;;;S-1-5-21-1-2-3-1001)", L"S-1-5-21-1-2-3-1001"},
        {"O:BAD:P(A;;KA;;;BA)(A;CI;KW;;;BU)", L"S-1-5-32-545"},
        {"O:BAD:P(A;;KA;;;BA)(A;;GA;;;WD)", L"S-1-1-0"},
        {"O:BAD:P(A;;KA;;;BA)(A;;GW;;;AU)", L"S-1-5-11"},
        {"O:BAD:P(A;;KA;;;BA)(A;;WD;;;AU)", L"S-1-5-11"},
        {"O:BAD:P(A;;KA;;;BA)(A;;WO;;;PU)", L"S-1-5-32-547"},
        {"O:BAD:P(A;;KA;;;BA)(A;;SD;;;BU)", L"S-1-5-32-545"},
        {"O:BAD:P(A;;KA;;;BA)(A;;0x4;;;BU)", L"S-1-5-32-545"},  // KEY_CREATE_SUB_KEY
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sddl);
        FakePlatform fake;
        ASSERT_EQ(WriteLastApply(fake, Record(L"10.0.0.5")), kErrorSuccess);
        fake.SetKeySecurity(kRecordKey, c.sddl);

        const UndoRecordRead read = Read(fake);
        const RegStatus rewrite = WriteLastApply(fake, Record(L"10.9.9.9"));

        if (c.problemNames.empty()) {
            EXPECT_EQ(read.state, UndoRecordState::Read) << read.reason;
            EXPECT_EQ(rewrite, kErrorSuccess);
            continue;
        }
        EXPECT_EQ(read.state, UndoRecordState::Untrusted);
        EXPECT_NE(read.reason.find(c.problemNames), std::wstring::npos) << read.reason;
        EXPECT_EQ(rewrite, 1338);
        EXPECT_EQ(fake.Value(kRecordKey, "Address", View::Wow64)->data, Sz(L"10.0.0.5").bytes);
    }
}

TEST(LastApplyStore, ARecordThisProgramCannotReadWholeIsUnreadable)
{
    const struct {
        const char* name;
        std::string value;  // "": the key itself may not be opened
        std::optional<RegData> data;
        UndoRecordState state = UndoRecordState::Unreadable;
    } cases[] = {
        {"no format", "Format", std::nullopt},
        {"another format", "Format", Dword(2)},
        {"time missing", "Time", std::nullopt},
        {"program as a number", "Program", Dword(1)},
        {"a type unknown", "Type", Sz(L"satellite")},
        {"a program unknown", "Program", Sz(L"service")},
        // A standard user's show: a sound record, but not one to call damaged.
        {"access denied", "", std::nullopt, UndoRecordState::Denied},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakePlatform fake;
        ASSERT_EQ(WriteLastApply(fake, Record(L"10.0.0.5")), kErrorSuccess);
        if (c.value.empty())
            fake.keyRights["software\\wendlebrook\\hostwend\\lastapply"] = 0;
        else if (c.data)
            fake.SetRawValue(kRecordKey, c.value, c.data->type, c.data->bytes, View::Wow64);
        else
            fake.RemoveValue(kRecordKey, c.value, View::Wow64);

        const UndoRecordRead read = Read(fake);

        EXPECT_EQ(read.state, c.state);
        EXPECT_EQ(read.status == kErrorAccessDenied, c.state == UndoRecordState::Denied) << read.status;
        EXPECT_FALSE(read.reason.empty());
    }
}

} // namespace
} // namespace hostwend
