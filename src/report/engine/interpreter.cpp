#include "report/engine/interpreter.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "report/engine/compiler.h"
#include "report/engine/lexer.h"
#include "report/engine/operators.h"
#include "report/engine/syntax.h"

namespace zelvant::report {

namespace {

constexpr int kMaxCallDepth = 1000;
constexpr std::int32_t kDefaultLoopLimit = 1000;

enum class Status { None, Break, Continue, Return, Exit };

// A variable slot holds a value or refers to another slot (a caller's variable).
struct CStackSlot {
    CValue value;
    std::size_t ref = SIZE_MAX;
};

// What `execute` compiles into: the template's variable table, extended by executed text.
struct CWorkingCopy {
    const CTemplate* owner = nullptr;
    std::vector<std::string> vars;
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
    COutputStream* saved = nullptr;
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
        : env_(environment), factory_(factory), out_(&output), options_(options) {
        stack_.reserve(16);
    }

    void Run(const CTemplate& entry) {
        Invoke(entry, 0);
        while (!work_.empty()) {
            Advance();
        }
    }

  private:
    void Write(std::string_view text) { WriteText(*out_, text); }

    CStackSlot& Target(std::size_t index) {
        CStackSlot& s = stack_[index];
        return s.ref == SIZE_MAX ? s : stack_[s.ref];
    }
    CStackSlot& Variable(const CSlot& v) { return Target(varBase_ + v.pos); }

    void PushChain(const CCode& code, const CSlot& chain, bool iteratorOnly = false) {
        CTask& t = work_.emplace_back();
        t.iteratorOnly = iteratorOnly;
        t.code = &code;
        t.node = chain.IsNode() ? chain.node : nullptr;
    }

    void Advance() {
        CTask& t = work_.back();
        switch (t.kind) {
            case CTask::Kind::Chain: {
                if (status_ != Status::None || t.node == nullptr) {
                    work_.pop_back();
                    return;
                }
                const CSyntaxNode* link = t.node;
                t.node = link->first.IsNode() ? link->first.node : nullptr;
                const CSlot& st = link->second;
                if (t.iteratorOnly && !(st.IsNode() && st.node->kind == kIterator)) {
                    return;
                }
                Statement(*t.code, st);  // may push: `t` is not used after this
                return;
            }
            case CTask::Kind::While:
                StepWhile();
                return;
            case CTask::Kind::Invocation:
                Return();
                return;
            case CTask::Kind::SetOutput:
                out_ = redirects_.back().saved;
                redirects_.pop_back();  // destroys the stream
                work_.pop_back();
                return;
            case CTask::Kind::Execute:
                insideExecute_ = false;
                if (status_ == Status::Return) {
                    status_ = Status::None;
                }
                compiled_.pop_back();
                work_.pop_back();
                return;
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
                if (Eval(code, n->second).IsTrue()) {
                    PushChain(code, n->first);
                }
                return;
            case kElse:
                Else(code, n);
                return;
            case kWhile: {
                CTask& t = work_.emplace_back();
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
                Call(code, *n->second.node);
                return;
            case kSys:
                Sys(code, *n->second.node);
                return;
            case kExecute:
                Execute(code, n->second);
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
        if (e.IsNode() && e.node->kind == kAssign) {
            Assign(code, *e.node);  // its value is not written, so it need not be copied
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
        } else {
            Write(v.ToText());
        }
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
                target.AppendText(it->IsString() ? it->StringValue() : it->ToText());
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
            if (Eval(code, branch->second).IsTrue()) {
                PushChain(code, branch->first);
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
                    if (Eval(code, alternative.node->second).IsTrue()) {
                        PushChain(code, alternative.node->first);
                    }
                    return;
                default:
                    PushChain(code, alternative);
                    return;
            }
        }
    }

    void WhileLimitReached() { Write(" while iteration max reached "); }

    void StepWhile() {
        CTask& t = work_.back();
        switch (t.phase) {
            case CTask::Phase::Start:
                t.remaining = loopLimit_;
                if (t.remaining <= 0) {
                    if (t.remaining == 0) {
                        WhileLimitReached();
                    }
                    work_.pop_back();
                    return;
                }
                [[fallthrough]];
            case CTask::Phase::Test:
                if (!Eval(*t.code, t.node->second).IsTrue()) {
                    work_.pop_back();
                    return;
                }
                t.phase = CTask::Phase::AfterBody;
                PushChain(*t.code, t.node->first);
                return;
            case CTask::Phase::AfterBody:
                if (status_ == Status::Return || status_ == Status::Exit) {
                    work_.pop_back();
                    return;
                }
                if (status_ == Status::Break) {
                    status_ = Status::None;
                    work_.pop_back();
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
                    work_.pop_back();
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
        frames_.push_back(
            CSavedFrame{current_, frameBase_, varBase_, argCount_, loopLimit_, insideExecute_});
        work_.emplace_back().kind = CTask::Kind::Invocation;
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
        work_.back().code = &tmpl.Code();  // marks that the chain ran
        PushChain(tmpl.Code(), tmpl.Code().root);
    }

    void Return() {
        CTask& t = work_.back();
        if (t.code != nullptr) {
            if (status_ == Status::Return) {
                status_ = Status::None;
            }
            if (!copies_.empty() && copies_.back().owner == current_) {
                copies_.pop_back();
            }
        }
        const CSavedFrame& saved = frames_.back();
        argCount_ = saved.argCount;
        loopLimit_ = saved.loopLimit;
        insideExecute_ = saved.insideExecute;
        --depth_;
        stack_.resize(frameBase_);
        frameBase_ = saved.frameBase;
        varBase_ = saved.varBase;
        current_ = saved.tmpl;
        frames_.pop_back();
        work_.pop_back();
    }

    void Call(const CCode& code, const CSyntaxNode& call) {
        const std::size_t base = stack_.size();
        for (CSlot link = call.second; link.IsNode(); link = link.node->first) {
            const CSlot& arg = link.node->second;
            CStackSlot slot;
            if (arg.IsVar()) {
                const std::size_t index = varBase_ + arg.pos;
                slot.ref = stack_[index].ref == SIZE_MAX ? index : stack_[index].ref;
            } else {
                slot.value = Eval(code, arg);
            }
            stack_.push_back(std::move(slot));
        }
        const std::string_view name = code.Text(call.first);
        const CTemplateSet* set = current_->Owner();
        const CTemplate* callee = set != nullptr ? set->Find(name) : nullptr;
        if (callee == nullptr) {
            Write(" can't find template " + std::string(name) + " ");
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
            // A lone variable is passed where it lives: nothing runs while the callee reads it.
            const CSlot& first = call.second;
            if (first.IsNode() && !first.node->first.IsNode() && first.node->second.IsVar()) {
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
        COutputStream* next = stream.get();
        redirects_.push_back(CRedirect{std::move(stream), out_});
        out_ = next;
        work_.emplace_back().kind = CTask::Kind::SetOutput;
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
            const std::string& command = first.StringValue();
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
        stack_.resize(std::max(stack_.size(), varBase_ + copy.vars.size()));
        insideExecute_ = true;
        const CCode& body = *compiled;
        compiled_.push_back(std::move(compiled));
        work_.emplace_back().kind = CTask::Kind::Execute;
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
                return CValue::String(code.Text(s));
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
                const CValue before = v;
                Step(v, n.kind == kIncrement ? 1 : -1);
                return n.first.lng != 0 ? v : before;
            }
            case kOr:
            case kAnd: {
                const bool left = Eval(code, n.first).IsTrue();
                if (left == (n.kind == kOr)) {
                    return CValue::Long(left ? 1 : 0);
                }
                return CValue::Long(Eval(code, n.second).IsTrue() ? 1 : 0);
            }
            case kNot:
                return Not(Eval(code, n.second));
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
        const CValue s = Eval(code, n.first);
        const std::int32_t index = Eval(code, n.second.node->first).ToLong();
        const std::int32_t count = Eval(code, n.second.node->second).ToLong();
        if (index < 0 || count < 0) {
            Write(" negative number for substr index or items ");
            return CValue();
        }
        const std::string text = s.IsString() ? s.StringValue() : s.ToText();
        if (static_cast<std::size_t>(index) >= text.size()) {
            Write(" substr index larger than string ");
            return CValue();
        }
        return CValue::String(std::string_view(text).substr(static_cast<std::size_t>(index),
                                                            static_cast<std::size_t>(count)));
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

    // `env` as a statement (marked in the first slot) runs; otherwise it yields a value.
    CValue Env(const CCode& code, const CSyntaxNode& n) {
        if (env_ == nullptr) {
            Write(" no environment commands defined ");
            return CValue();
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
    COutputStream* out_;
    const RunOptions& options_;

    std::vector<CStackSlot> stack_;
    std::vector<CValue> args_;
    std::vector<CTask> work_;
    std::vector<CSavedFrame> frames_;
    std::vector<CRedirect> redirects_;
    // What `execute` compiled, while it runs.
    std::vector<std::unique_ptr<CCode>> compiled_;
    std::vector<CWorkingCopy> copies_;
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
