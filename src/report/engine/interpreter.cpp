#include "report/engine/interpreter.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "report/engine/compiler.h"
#include "report/engine/lexer.h"
#include "report/engine/operators.h"
#include "report/engine/syntax.h"
#include "report/engine/wipe.h"

namespace zelvant::report {

namespace {

constexpr int kMaxCallDepth = 1000;
constexpr std::int32_t kDefaultLoopLimit = 1000;

enum class Status { None, Break, Continue, Return, Exit };

// A variable slot holds a value or refers to another slot (a caller's variable).
struct CStackSlot {
    CStackSlot() = default;
    explicit CStackSlot(CValue v) : value(std::move(v)) {}
    explicit CStackSlot(std::size_t r) : ref(r) {}

    CValue value;
    std::size_t ref = SIZE_MAX;
};

// What `execute` compiles into: the template's variable table, extended by executed text.
struct CWorkingCopy {
    const CTemplate* owner = nullptr;
    std::vector<std::string> vars;
};

// Collects what a run writes and hands it on in blocks: a report makes millions of small
// writes, and each would otherwise be a call through the stream's interface. The environment,
// the output factory and commands write through it too, so everything stays in order.
class CBufferedOutput final : public COutputStream {
  public:
    explicit CBufferedOutput(COutputStream& target)
        : target_(target), buffer_(std::make_unique<char[]>(kSize)) {}
    CBufferedOutput(const CBufferedOutput&) = delete;
    CBufferedOutput& operator=(const CBufferedOutput&) = delete;
    ~CBufferedOutput() override {
        Flush();
        WipeBytes(buffer_.get(), kSize);  // the page holds passwords
    }

    void Append(std::string_view text) {
        if (text.size() <= kSize - used_) {
            std::memcpy(buffer_.get() + used_, text.data(), text.size());
            used_ += text.size();
            return;
        }
        AppendLong(text);
    }

    // Whether the stream took the bytes shows only when they are handed on.
    bool Write(const char* bytes, std::size_t& length) override {
        Append(std::string_view(bytes, length));
        return length > 0;
    }

    void Flush() {
        WriteText(target_, std::string_view(buffer_.get(), used_));
        used_ = 0;
    }

  private:
    static constexpr std::size_t kSize = 16384;

    void AppendLong(std::string_view text) {
        Flush();
        if (text.size() >= kSize) {
            WriteText(target_, text);
            return;
        }
        std::memcpy(buffer_.get(), text.data(), text.size());
        used_ = text.size();
    }

    COutputStream& target_;
    std::unique_ptr<char[]> buffer_;
    std::size_t used_ = 0;
};

// A stack of small plain entries that stays allocated for the run; pushing and popping are a
// few instructions, which matters when every block and call pushes.
template <class T>
class CPlainStack {
  public:
    T& Push() {
        if (size_ == items_.size()) {
            items_.resize(std::max<std::size_t>(16, 2 * items_.size()));
        }
        T& item = items_[size_++];
        item = T{};
        return item;
    }
    void Pop() { --size_; }
    T& Top() { return items_[size_ - 1]; }
    bool Empty() const { return size_ == 0; }
    std::size_t Size() const { return size_; }

  private:
    std::vector<T> items_;
    std::size_t size_ = 0;
};

// Statements run from an explicit work stack, so that neither nested template calls nor nested
// blocks consume native stack. The entry on top is what runs next. Entries are pushed for every
// block that runs, so they stay small: what only some kinds need lives in side stacks.
struct CTask {
    enum class Kind : std::uint8_t { Chain, While, Invocation, SetOutput, Execute };
    enum class Phase : std::uint8_t { Start, Test, AfterBody, AfterIterator };

    Kind kind = Kind::Chain;
    Phase phase = Phase::Start;
    // Chain: iterator-only mode runs just the iterator element.
    bool iteratorOnly = false;
    // While
    std::int32_t remaining = 0;
    // Invocation: set once the callee's chain was pushed.
    const CCode* code = nullptr;
    // Chain: the next link, none at the end. While: the loop.
    const CSyntaxNode* node = nullptr;
};

// The caller's state, restored when an invocation returns.
struct CSavedFrame {
    const CTemplate* tmpl = nullptr;
    std::size_t frameBase = 0;
    std::size_t varBase = 0;
    std::size_t argCount = 0;
    std::int32_t loopLimit = 0;
    bool insideExecute = false;
};

struct CRedirect {
    std::unique_ptr<COutputStream> stream;
    std::unique_ptr<CBufferedOutput> buffer;
    CBufferedOutput* saved = nullptr;
};

// Text compiled by `execute` while it runs, with the numbers its `env` names were given.
struct CCompiled {
    std::unique_ptr<CCode> code;
    std::size_t firstNumber = 0;
};

bool IsWrittenStatement(const CSlot& s) {
    if (!s.IsNode()) {
        return !s.IsEmpty();
    }
    switch (s.node->kind) {
        case kParam:
        case kSubstr:
        case kLessEqual:
        case kGreaterEqual:
        case kNotEqual:
        case kLess:
        case kGreater:
        case kEqual:
        case kOr:
        case kAnd:
        case kNot:
        case kPlus:
        case kMinus:
        case kTimes:
        case kDivide:
        case kModulo:
        case kConcat:
            return true;
        default:
            return false;
    }
}

class CRunContext {
  public:
    CRunContext(CEnvironment* environment, COutputStream& output, COutputFactory* factory,
                const RunOptions& options)
        : env_(environment), factory_(factory), page_(output), out_(&page_), options_(options) {
        stack_.reserve(16);
    }

    void Run(const CTemplate& entry) {
        // The names the set's `env` expressions use are looked up once, here.
        if (const CTemplateSet* set = entry.Owner(); set != nullptr) {
            numbers_.reserve(set->EnvNames().size());
            for (const std::string& name : set->EnvNames()) {
                numbers_.push_back(env_ != nullptr ? env_->Resolve(name) : CEnvironment::kByName);
            }
        }
        Invoke(entry, 0);
        while (!work_.Empty()) {
            Advance();
        }
        page_.Flush();
    }

  private:
    void Write(std::string_view text) { out_->Append(text); }

    CStackSlot& Target(std::size_t index) {
        CStackSlot& s = stack_[index];
        return s.ref == SIZE_MAX ? s : stack_[s.ref];
    }
    CStackSlot& Variable(const CSlot& v) { return Target(varBase_ + v.pos); }

    void PushChain(const CCode& code, const CSlot& chain, bool iteratorOnly = false) {
        CTask& t = work_.Push();
        t.iteratorOnly = iteratorOnly;
        t.code = &code;
        t.node = chain.IsNode() ? chain.node : nullptr;
    }

    // A block of one statement runs at once: pushing it would only pop it again straight away.
    // Blocks nest no deeper than the compiler allows, so neither does this.
    void RunBlock(const CCode& code, const CSlot& chain) {
        if (chain.IsNode() && !chain.node->first.IsNode()) {
            Statement(code, chain.node->second);
            return;
        }
        PushChain(code, chain);
    }

    void Advance() {
        switch (work_.Top().kind) {
            case CTask::Kind::Chain:
                RunChain();
                return;
            case CTask::Kind::While:
                StepWhile();
                return;
            case CTask::Kind::Invocation:
                Return();
                return;
            case CTask::Kind::SetOutput:
                out_ = redirects_.back().saved;
                redirects_.pop_back();  // hands on what is collected, then destroys the stream
                work_.Pop();
                return;
            case CTask::Kind::Execute:
                insideExecute_ = false;
                if (status_ == Status::Return) {
                    status_ = Status::None;
                }
                numbers_.resize(compiled_.back().firstNumber);
                compiled_.pop_back();
                work_.Pop();
                return;
        }
    }

    // Runs the links of the chain on top until one of them pushes work of its own; the last
    // link leaves the chain before it runs, since nothing of the chain is left to come back to.
    void RunChain() {
        const std::size_t depth = work_.Size();
        for (;;) {
            CTask& t = work_.Top();
            if (status_ != Status::None || t.node == nullptr) {
                work_.Pop();
                return;
            }
            const CSyntaxNode* link = t.node;
            const CCode& code = *t.code;
            const CSlot& st = link->second;
            if (t.iteratorOnly && !(st.IsNode() && st.node->kind == kIterator)) {
                t.node = link->first.IsNode() ? link->first.node : nullptr;
                continue;
            }
            if (!link->first.IsNode()) {
                work_.Pop();
                Statement(code, st);
                return;
            }
            t.node = link->first.node;
            Statement(code, st);  // may push: `t` is not used after this
            if (work_.Size() != depth) {
                return;
            }
        }
    }

    void Statement(const CCode& code, const CSlot& st) {
        if (!st.IsNode()) {
            Expression(code, st);
            return;
        }
        const CSyntaxNode* n = st.node;
        switch (n->kind) {
            case kText:
                Write(code.Text(n->second));
                return;
            case kIf:
                if (Truth(code, n->second)) {
                    RunBlock(code, n->first);
                }
                return;
            case kElse:
                Else(code, n);
                return;
            case kWhile: {
                CTask& t = work_.Push();
                t.kind = CTask::Kind::While;
                t.code = &code;
                t.node = n;
                return;
            }
            case kIterator:
                Expression(code, n->second);
                return;
            case kBreak:
                status_ = Status::Break;
                return;
            case kContinue:
                status_ = Status::Continue;
                return;
            case kReturn:
                status_ = Status::Return;
                return;
            case kExit:
                status_ = Status::Exit;
                return;
            case kSetOutput:
                SetOutput(code, n);
                return;
            case kTmpl:
                Call(code, *n);
                return;
            case kSys:
                Sys(code, *n->second.node);
                return;
            case kExecute:
                Execute(code, n->second);
                return;
            case kEnv:
                Env(code, *n);
                return;
            case kAssign:
                Assign(code, *n);  // its value is not written, so it need not be copied
                return;
            default:
                Expression(code, st);
                return;
        }
    }

    void Expression(const CCode& code, const CSlot& e) {
        if (e.IsVar()) {
            WriteValue(Variable(e).value);
            return;
        }
        const CValue v = Eval(code, e);
        if (IsWrittenStatement(e)) {
            WriteValue(v);
        }
    }

    void WriteValue(const CValue& v) {
        if (v.IsString()) {
            Write(v.StringValue());
            return;
        }
        char buffer[CValue::kNumberTextSize];
        Write(v.Text(buffer));
    }

    bool Truth(const CCode& code, const CSlot& s) {
        if (s.IsVar()) {
            return Variable(s).value.IsTrue();
        }
        return Eval(code, s).IsTrue();
    }

    // Stores and returns the stored slot. "v := v $ a $ b" appends in place: the operands right
    // of v run first (b, then a) and v is read last either way, so the result is the same
    // without copying v at every step.
    CValue& Assign(const CCode& code, const CSyntaxNode& n) {
        const CSlot& rhs = n.second;
        const CSlot* leftmost = &rhs;
        while (leftmost->IsNode() && leftmost->node->kind == kConcat) {
            leftmost = &leftmost->node->first;
        }
        if (leftmost != &rhs && leftmost->IsVar() && leftmost->pos == n.first.pos) {
            std::vector<CValue> tails;
            for (const CSlot* s = &rhs; s != leftmost; s = &s->node->first) {
                tails.push_back(Eval(code, s->node->second));
            }
            CValue& target = Variable(n.first).value;
            for (auto it = tails.rbegin(); it != tails.rend(); ++it) {
                char buffer[CValue::kNumberTextSize];
                target.AppendText(it->Text(buffer));
            }
            return target;
        }
        CValue v = Eval(code, rhs);
        CValue& target = Variable(n.first).value;
        target = std::move(v);
        return target;
    }

    // The else-chain nests to the right; walking it is a loop.
    void Else(const CCode& code, const CSyntaxNode* e) {
        for (;;) {
            const CSyntaxNode* branch = e->second.node;
            if (Truth(code, branch->second)) {
                RunBlock(code, branch->first);
                return;
            }
            const CSlot& alternative = e->first;
            if (!alternative.IsNode()) {
                return;
            }
            switch (alternative.node->kind) {
                case kElse:
                    e = alternative.node;
                    continue;
                case kIf:
                    if (Truth(code, alternative.node->second)) {
                        RunBlock(code, alternative.node->first);
                    }
                    return;
                default:
                    RunBlock(code, alternative);
                    return;
            }
        }
    }

    void WhileLimitReached() { Write(" while iteration max reached "); }

    void StepWhile() {
        CTask& t = work_.Top();
        switch (t.phase) {
            case CTask::Phase::Start:
                t.remaining = loopLimit_;
                if (t.remaining <= 0) {
                    if (t.remaining == 0) {
                        WhileLimitReached();
                    }
                    work_.Pop();
                    return;
                }
                [[fallthrough]];
            case CTask::Phase::Test:
                if (!Truth(*t.code, t.node->second)) {
                    work_.Pop();
                    return;
                }
                t.phase = CTask::Phase::AfterBody;
                PushChain(*t.code, t.node->first);
                return;
            case CTask::Phase::AfterBody:
                if (status_ == Status::Return || status_ == Status::Exit) {
                    work_.Pop();
                    return;
                }
                if (status_ == Status::Break) {
                    status_ = Status::None;
                    work_.Pop();
                    return;
                }
                if (status_ == Status::Continue) {
                    status_ = Status::None;
                    t.phase = CTask::Phase::AfterIterator;
                    PushChain(*t.code, t.node->first, true);
                    return;
                }
                [[fallthrough]];
            case CTask::Phase::AfterIterator:
                if (--t.remaining == 0) {
                    WhileLimitReached();
                    work_.Pop();
                    return;
                }
                t.phase = CTask::Phase::Test;
                return;
        }
    }

    // Invokes `tmpl` with the arguments from `base` to the top of the stack.
    void Invoke(const CTemplate& tmpl, std::size_t base) {
        if (depth_ > kMaxCallDepth) {
            Write(" too many nested template calls ");
            status_ = Status::Exit;
            stack_.resize(base);
            return;
        }
        ++depth_;
        frames_.Push() =
            CSavedFrame{current_, frameBase_, varBase_, argCount_, loopLimit_, insideExecute_};
        work_.Push().kind = CTask::Kind::Invocation;
        insideExecute_ = false;
        current_ = &tmpl;
        frameBase_ = base;
        argCount_ = stack_.size() - base;
        if (argCount_ < tmpl.ParamCount()) {
            Write(" template " + tmpl.Name() + " call missing params ");
            return;  // the invocation entry on top returns at once
        }
        varBase_ = base + (argCount_ - tmpl.ParamCount());
        stack_.resize(varBase_ + tmpl.Variables().size());
        work_.Top().code = &tmpl.Code();  // marks that the chain ran
        PushChain(tmpl.Code(), tmpl.Code().root);
    }

    void Return() {
        CTask& t = work_.Top();
        if (t.code != nullptr) {
            if (status_ == Status::Return) {
                status_ = Status::None;
            }
            if (!copies_.empty() && copies_.back().owner == current_) {
                copies_.pop_back();
            }
        }
        const CSavedFrame& saved = frames_.Top();
        argCount_ = saved.argCount;
        loopLimit_ = saved.loopLimit;
        insideExecute_ = saved.insideExecute;
        --depth_;
        stack_.resize(frameBase_);
        frameBase_ = saved.frameBase;
        varBase_ = saved.varBase;
        current_ = saved.tmpl;
        frames_.Pop();
        work_.Pop();
    }

    // The template a `tmpl` statement calls: linked when its set was loaded, else by name.
    const CTemplate* Callee(const CCode& code, const CSyntaxNode& n) const {
        const CTemplateSet* set = current_->Owner();
        if (set == nullptr || n.link == kNoTemplate) {
            return nullptr;
        }
        if (n.link < set->Count()) {
            return set->At(n.link);
        }
        return set->Find(code.Text(n.second.node->first));
    }

    void Call(const CCode& code, const CSyntaxNode& n) {
        const CSyntaxNode& call = *n.second.node;
        const std::size_t base = stack_.size();
        for (const CSyntaxNode* link = call.second.IsNode() ? call.second.node : nullptr;
             link != nullptr; link = link->first.IsNode() ? link->first.node : nullptr) {
            const CSlot& arg = link->second;
            if (arg.IsVar()) {
                const std::size_t index = varBase_ + arg.pos;
                const std::size_t ref = stack_[index].ref;
                stack_.emplace_back(ref == SIZE_MAX ? index : ref);
            } else {
                stack_.emplace_back(Eval(code, arg));
            }
        }
        const CTemplate* callee = Callee(code, n);
        if (callee == nullptr) {
            Write(" can't find template " + std::string(code.Text(call.first)) + " ");
            stack_.resize(base);
            return;
        }
        Invoke(*callee, base);
    }

    // Evaluates a call's arguments onto the shared argument stack; they stay there, contiguous,
    // until the guard goes. Nested calls push and pop above them during evaluation.
    class ArgumentFrame {
      public:
        ArgumentFrame(CRunContext& run, const CCode& code, const CSyntaxNode& call)
            : args_(run.args_), base_(run.args_.size()) {
            const CSlot& first = call.second;
            if (!first.IsNode()) {
                return;
            }
            // A lone variable is passed where it lives: nothing runs while the callee reads it.
            if (!first.node->first.IsNode() && first.node->second.IsVar()) {
                single_ = &run.Variable(first.node->second).value;
                return;
            }
            for (CSlot link = call.second; link.IsNode(); link = link.node->first) {
                CValue v = run.Eval(code, link.node->second);
                args_.push_back(std::move(v));
            }
        }
        ArgumentFrame(const ArgumentFrame&) = delete;
        ArgumentFrame& operator=(const ArgumentFrame&) = delete;
        ~ArgumentFrame() { args_.resize(base_); }
        std::span<const CValue> Values() const {
            if (single_ != nullptr) {
                return std::span<const CValue>(single_, 1);
            }
            return std::span<const CValue>(args_).subspan(base_);
        }

      private:
        std::vector<CValue>& args_;
        std::size_t base_;
        const CValue* single_ = nullptr;
    };

    void SetOutput(const CCode& code, const CSyntaxNode* n) {
        if (factory_ == nullptr) {
            Write(" no alternate outputs specified ");
            return;
        }
        const CSyntaxNode& call = *n->second.node;
        const std::string_view name = code.Text(call.first);
        const ArgumentFrame frame(*this, code, call);
        std::unique_ptr<COutputStream> stream = factory_->Open(name, *out_, frame.Values());
        if (!stream) {
            Write(" output \"" + std::string(name) + "\" not known ");
            return;
        }
        auto buffer = std::make_unique<CBufferedOutput>(*stream);
        CBufferedOutput* next = buffer.get();
        redirects_.push_back(CRedirect{std::move(stream), std::move(buffer), out_});
        out_ = next;
        work_.Push().kind = CTask::Kind::SetOutput;
        PushChain(code, n->first);
    }

    void Sys(const CCode& code, const CSyntaxNode& call) {
        const std::string_view name = code.Text(call.first);
        const ArgumentFrame frame(*this, code, call);
        const std::span<const CValue> args = frame.Values();
        // A missing argument counts as long 0.
        const CValue first = args.empty() ? CValue() : args.front();
        if (name == "runcmd") {
            if (!first.IsString()) {
                Write(" sys.runcmd parameter is not a string ");
                return;
            }
            const std::string command(first.StringValue());
            if (!options_.runCommand || !options_.runCommand(command, *out_)) {
                Write(" could not run command " + command + " ");
            }
        } else if (name == "looplimit") {
            loopLimit_ = first.ToLong();
        } else {
            Write(" unknown command: sys." + std::string(name) + " ");
        }
    }

    void Execute(const CCode& code, const CSlot& e) {
        if (insideExecute_) {
            Write(" execute not allowed within execute ");
            return;
        }
        const CValue source = Eval(code, e);
        if (!source.IsString()) {
            Write(" execute parameter is not a string ");
            return;
        }
        if (copies_.empty() || copies_.back().owner != current_) {
            copies_.push_back(CWorkingCopy{current_, current_->Variables()});
        }
        CWorkingCopy& copy = copies_.back();
        auto compiled = std::make_unique<CCode>();
        std::vector<CToken> tokens;
        const CLexResult lexed = Lex(source.StringValue(), 0, 1, true, compiled->pool, tokens);
        CCompileError error;
        if (!lexed.ok) {
            error.line = lexed.errorLine;
            error.message = "missing or invalid characters";
        } else {
            CompileChain(tokens, *compiled, copy.vars, error);
        }
        if (error.line != 0) {
            Write(" execute: line " + std::to_string(error.line) + ": " + error.message + " ");
            return;
        }
        compiled->transient = true;
        // The names of the executed text are looked up as the set's were, for as long as it runs.
        const std::size_t firstNumber = numbers_.size();
        if (const CTemplateSet* set = current_->Owner(); set != nullptr) {
            set->Link(*compiled, [this](std::string_view name) {
                numbers_.push_back(env_ != nullptr ? env_->Resolve(name) : CEnvironment::kByName);
                return static_cast<std::uint32_t>(numbers_.size() - 1);
            });
        }
        stack_.resize(std::max(stack_.size(), varBase_ + copy.vars.size()));
        insideExecute_ = true;
        const CCode& body = *compiled;
        compiled_.push_back(CCompiled{std::move(compiled), firstNumber});
        work_.Push().kind = CTask::Kind::Execute;
        PushChain(body, body.root);
    }

    // A variable's own value, or the value evaluated into `scratch`; good until the next
    // evaluation.
    const CValue& Peek(const CCode& code, const CSlot& s, CValue& scratch) {
        if (s.IsVar()) {
            return Variable(s).value;
        }
        scratch = Eval(code, s);
        return scratch;
    }

    // Expressions recurse natively; the compiler bounds their depth.
    CValue Eval(const CCode& code, const CSlot& s) {
        switch (s.kind) {
            case CSlot::Kind::Empty:
                return CValue();
            case CSlot::Kind::String:
                return code.transient ? CValue::String(code.Text(s)) : CValue::View(code.Text(s));
            case CSlot::Kind::Long:
                return CValue::Long(s.lng);
            case CSlot::Kind::Double:
                return CValue::Double(s.dbl);
            case CSlot::Kind::Var:
                return Variable(s).value;
            case CSlot::Kind::Node:
                break;
        }
        const CSyntaxNode& n = *s.node;
        switch (n.kind) {
            case kAssign:
                return Assign(code, n);
            case kIncrement:
            case kDecrement: {
                CValue& v = Variable(n.second).value;
                CValue before = v;
                Step(v, n.kind == kIncrement ? 1 : -1);
                return n.first.lng != 0 ? v : before;
            }
            case kOr:
            case kAnd: {
                const bool left = Truth(code, n.first);
                if (left == (n.kind == kOr)) {
                    return CValue::Long(left ? 1 : 0);
                }
                return CValue::Long(Truth(code, n.second) ? 1 : 0);
            }
            case kNot:
                return CValue::Long(Truth(code, n.second) ? 0 : 1);
            case kPlus:
            case kMinus:
                if (n.first.IsEmpty()) {
                    const CValue v = Eval(code, n.second);
                    return n.kind == kPlus ? UnaryPlus(v) : Negate(v);
                }
                [[fallthrough]];
            case kTimes:
            case kDivide:
            case kModulo:
            case kConcat:
            case kLessEqual:
            case kGreaterEqual:
            case kNotEqual:
            case kLess:
            case kGreater:
            case kEqual: {
                // The right operand runs first; a variable on the right is only read in place
                // when the left side cannot change it.
                CValue rightScratch;
                CValue leftScratch;
                const CValue& right = n.first.IsNode() ? (rightScratch = Eval(code, n.second))
                                                       : Peek(code, n.second, rightScratch);
                const CValue& left = Peek(code, n.first, leftScratch);
                if (n.kind == kConcat) {
                    return Concatenate(left, right);
                }
                if (n.kind >= kLessEqual && n.kind <= kEqual) {
                    return Compare(n.kind, left, right);
                }
                return Arithmetic(n.kind, left, right);
            }
            case kSubstr:
                return Substr(code, n);
            case kParam:
                return Param(Eval(code, n.second).ToLong());
            case kEnv:
                return Env(code, n);
            default:
                return CValue();
        }
    }

    CValue Substr(const CCode& code, const CSyntaxNode& n) {
        CValue s = Eval(code, n.first);
        const std::int32_t index = Eval(code, n.second.node->first).ToLong();
        const std::int32_t count = Eval(code, n.second.node->second).ToLong();
        if (index < 0 || count < 0) {
            Write(" negative number for substr index or items ");
            return CValue();
        }
        if (!s.IsString()) {
            s = CValue::String(s.ToText());
        }
        if (static_cast<std::size_t>(index) >= s.StringValue().size()) {
            Write(" substr index larger than string ");
            return CValue();
        }
        return s.Slice(static_cast<std::size_t>(index), static_cast<std::size_t>(count));
    }

    CValue Param(std::int32_t k) {
        if (k == 0) {
            return CValue::Long(static_cast<std::int32_t>(argCount_));
        }
        if (k > 0 && static_cast<std::size_t>(k) <= argCount_) {
            return Target(frameBase_ + static_cast<std::size_t>(k) - 1).value;
        }
        Write(" param out of range ");
        return CValue();
    }

    CValue Ask(int number, std::string_view name, bool statement, std::span<const CValue> args) {
        if (statement) {
            if (number == CEnvironment::kByName) {
                env_->Run(name, *out_, args);
            } else {
                env_->RunResolved(number, name, *out_, args);
            }
            return CValue();
        }
        if (number == CEnvironment::kByName) {
            return env_->Value(name, *out_, args);
        }
        return env_->ValueResolved(number, name, *out_, args);
    }

    // `env` as a statement (marked in the first slot) runs; otherwise it yields a value.
    CValue Env(const CCode& code, const CSyntaxNode& n) {
        if (env_ == nullptr) {
            Write(" no environment commands defined ");
            return CValue();
        }
        const CSyntaxNode& firstLink = *n.second.node;
        if (!firstLink.first.IsNode()) {
            const CSyntaxNode& call = *firstLink.second.node;
            const std::string_view name = code.Text(call.first);
            const int number = n.link < numbers_.size() ? numbers_[n.link] : CEnvironment::kByName;
            const bool statement = !n.first.IsEmpty();
            // Most names are asked for without arguments, or with one.
            if (!call.second.IsNode()) {
                return Ask(number, name, statement, {});
            }
            const CSlot& arg = call.second.node->second;
            if (!call.second.node->first.IsNode()) {
                if (arg.IsVar()) {
                    return Ask(number, name, statement, {&Variable(arg).value, 1});
                }
                const CValue value = Eval(code, arg);
                return Ask(number, name, statement, {&value, 1});
            }
            const ArgumentFrame frame(*this, code, call);
            return Ask(number, name, statement, frame.Values());
        }
        CEnvironment* object = env_;
        std::vector<std::unique_ptr<CEnvironment>> children;
        for (CSlot link = n.second; link.IsNode(); link = link.node->first) {
            const CSyntaxNode& call = *link.node->second.node;
            const std::string_view name = code.Text(call.first);
            const ArgumentFrame frame(*this, code, call);
            const std::span<const CValue> args = frame.Values();
            if (link.node->first.IsNode()) {
                children.push_back(object->Child(name, *out_, args));
                object = children.back().get();
                if (object == nullptr) {
                    return CValue();
                }
            } else if (!n.first.IsEmpty()) {
                object->Run(name, *out_, args);
                return CValue();
            } else {
                return object->Value(name, *out_, args);
            }
        }
        return CValue();
    }

    CEnvironment* env_;
    COutputFactory* factory_;
    CBufferedOutput page_;
    CBufferedOutput* out_;
    const RunOptions& options_;

    std::vector<CStackSlot> stack_;
    std::vector<CValue> args_;
    CPlainStack<CTask> work_;
    CPlainStack<CSavedFrame> frames_;
    std::vector<CRedirect> redirects_;
    std::vector<CCompiled> compiled_;
    std::vector<CWorkingCopy> copies_;
    // What the environment resolved the names of one-link `env` expressions to, by the number
    // their nodes were linked with: the set's names first, then those of executed text.
    std::vector<int> numbers_;
    const CTemplate* current_ = nullptr;
    std::size_t frameBase_ = 0;
    std::size_t varBase_ = 0;
    std::size_t argCount_ = 0;
    int depth_ = 0;
    Status status_ = Status::None;
    std::int32_t loopLimit_ = kDefaultLoopLimit;
    bool insideExecute_ = false;
};

}  // namespace

void Run(const CTemplate& entry, CEnvironment* environment, COutputStream& output,
         COutputFactory* factory, const RunOptions& options) {
    CRunContext(environment, output, factory, options).Run(entry);
}

}  // namespace zelvant::report
