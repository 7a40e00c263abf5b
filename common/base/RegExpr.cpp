#include "RegExpr.h"

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

static_assert(sizeof(PCRE2_UCHAR16) == sizeof(QChar));

namespace {

QString PcreMessage(int Code)
{
    PCRE2_UCHAR16 buf[256];
    const int n = pcre2_get_error_message(Code, buf, sizeof buf / sizeof buf[0]);
    return n < 0 ? QStringLiteral("PCRE2 error %1").arg(Code)
                 : QString(reinterpret_cast<const QChar*>(buf), n);
}

} // namespace

struct TRegExpr::TData
{
    TLimits Limits;
    pcre2_compile_context* CompileContext = nullptr;
    pcre2_match_context* MatchContext = nullptr;
    pcre2_jit_stack* JitStack = nullptr;
    pcre2_code* Code = nullptr;
    pcre2_match_data* MatchData = nullptr;

    explicit TData(const TLimits& L) : Limits(L)
    {
        CompileContext = pcre2_compile_context_create(nullptr);
        MatchContext = pcre2_match_context_create(nullptr);
        if (!CompileContext || !MatchContext) throw std::bad_alloc();
        pcre2_set_max_pattern_length(CompileContext, L.MaxPatternLength);
        pcre2_set_match_limit(MatchContext, L.MatchLimit);
        pcre2_set_depth_limit(MatchContext, L.DepthLimit);
        pcre2_set_heap_limit(MatchContext, L.HeapLimitKiB);
        // The JIT's own stack; when it runs out the search is stopped like any other limit.
        JitStack = pcre2_jit_stack_create(32 * 1024, 1024 * 1024, nullptr);
        if (JitStack) pcre2_jit_stack_assign(MatchContext, nullptr, JitStack);
    }

    ~TData()
    {
        Drop();
        pcre2_jit_stack_free(JitStack);
        pcre2_match_context_free(MatchContext);
        pcre2_compile_context_free(CompileContext);
    }

    void Drop()
    {
        pcre2_match_data_free(MatchData);
        pcre2_code_free(Code);
        MatchData = nullptr;
        Code = nullptr;
    }
};

TRegExpr::TRegExpr() : TRegExpr(TLimits()) {}

TRegExpr::TRegExpr(const TLimits& Limits) : D(std::make_unique<TData>(Limits)) {}

TRegExpr::~TRegExpr() = default;

bool TRegExpr::Compile(const QString& Pattern, bool Caseless)
{
    D->Drop();
    FPattern = Pattern;
    FCaseless = Caseless;
    FErrorText.clear();
    // Names may hold lone surrogates; they are searched rather than refused.
    uint32_t options = PCRE2_UTF | PCRE2_MATCH_INVALID_UTF;
    if (Caseless) options |= PCRE2_CASELESS;
    int error = 0;
    PCRE2_SIZE offset = 0;
    D->Code = pcre2_compile(reinterpret_cast<PCRE2_SPTR16>(Pattern.utf16()), PCRE2_SIZE(Pattern.size()),
                            options, &error, &offset, D->CompileContext);
    if (!D->Code) {
        FErrorText = QStringLiteral("%1 at offset %2").arg(PcreMessage(error)).arg(qulonglong(offset));
        return false;
    }
    pcre2_jit_compile(D->Code, PCRE2_JIT_COMPLETE); // the interpreter serves when the JIT cannot
    D->MatchData = pcre2_match_data_create_from_pattern(D->Code, nullptr);
    if (!D->MatchData) {
        D->Drop();
        FErrorText = PcreMessage(PCRE2_ERROR_NOMEMORY);
        return false;
    }
    return true;
}

bool TRegExpr::IsCompiled() const
{
    return D->Code != nullptr;
}

TRegExpr::TResult TRegExpr::Find(QStringView Subject) const
{
    if (!D->Code) {
        FErrorText = QStringLiteral("no compiled pattern");
        return TResult::Error;
    }
    static const char16_t Empty[1] = {0}; // PCRE2 10.42 refuses a null subject, also an empty one
    const char16_t* text = Subject.isEmpty() ? Empty : Subject.utf16();
    const int rc = pcre2_match(D->Code, reinterpret_cast<PCRE2_SPTR16>(text), PCRE2_SIZE(Subject.size()), 0,
                               0, D->MatchData, D->MatchContext);
    if (rc >= 0) return TResult::Match;
    if (rc == PCRE2_ERROR_NOMATCH) return TResult::NoMatch;
    FErrorText = PcreMessage(rc);
    return TResult::Error;
}
