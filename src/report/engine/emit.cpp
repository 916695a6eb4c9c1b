#include "report/engine/emit.h"

#include <cstddef>
#include <vector>

namespace zelvant::report {

namespace {

// Walks the tree once. Recursion follows the nesting of blocks and expressions, which the
// compiler bounds; chains are walked in loops.
class CEmitter {
  public:
    explicit CEmitter(CCode& code) : code_(code) {}

    void Run() {
        Chain(code_.root);
        Emit(COpCode::End);
    }

  private:
    // A `while` being emitted: where its `break` and `continue` jumps must be pointed.
    struct CLoop {
        std::size_t outputs = 0;  // `setoutput` blocks open outside the loop
        std::size_t iterator = SIZE_MAX;
        std::vector<std::size_t> breaks;
        std::vector<std::size_t> continues;
    };

    std::size_t Emit(COpCode op, std::uint32_t a = 0, std::uint32_t b = 0, std::uint32_t c = 0) {
        code_.ops.push_back(COp{op, 0, a, b, c});
        return code_.ops.size() - 1;
    }
    std::uint32_t Here() const { return static_cast<std::uint32_t>(code_.ops.size()); }
    COp& At(std::size_t at) { return code_.ops[at]; }

    std::uint32_t Site(CSite::Kind kind, const CSlot& name) {
        code_.sites.push_back(CSite{kind, name.pos, name.len, kUnlinked});
        return static_cast<std::uint32_t>(code_.sites.size() - 1);
    }

    static const CSyntaxNode* Next(const CSyntaxNode* link) {
        return link->first.IsNode() ? link->first.node : nullptr;
    }
    static const CSyntaxNode* First(const CSlot& chain) {
        return chain.IsNode() ? chain.node : nullptr;
    }

    // The name of an `env` expression of one link without arguments, or none.
    static const CSlot* PlainEnvName(const CSlot& e) {
        if (!e.IsNode() || e.node->kind != kEnv) {
            return nullptr;
        }
        const CSyntaxNode& link = *e.node->second.node;
        if (link.first.IsNode() || link.second.node->second.IsNode()) {
            return nullptr;
        }
        return &link.second.node->first;
    }

    static bool IsComparison(int kind) { return kind >= kLessEqual && kind <= kEqual; }

    // Jumps, to where Land is called, unless `cond` is true.
    std::size_t JumpUnless(const CSlot& cond) {
        if (const CSlot* name = PlainEnvName(cond)) {
            return Emit(COpCode::EnvTest, Site(CSite::Kind::Env, *name));
        }
        if (cond.IsNode() && IsComparison(cond.node->kind) && cond.node->first.IsVar() &&
            cond.node->second.kind == CSlot::Kind::String) {
            const std::size_t at = Emit(COpCode::TestVarString, cond.node->first.pos,
                                        Site(CSite::Kind::Other, cond.node->second));
            At(at).k = cond.node->kind;
            return at;
        }
        Expr(cond);
        return Emit(COpCode::JumpIfFalse);
    }
    void Land(std::size_t jump) {
        COp& op = At(jump);
        (op.code == COpCode::JumpIfFalse ? op.a : op.c) = Here();
    }

    void Chain(const CSlot& chain) {
        for (const CSyntaxNode* link = First(chain); link != nullptr; link = Next(link)) {
            Statement(link->second);
        }
    }

    void Statement(const CSlot& st) {
        if (!st.IsNode()) {
            ExpressionStatement(st);
            return;
        }
        const CSyntaxNode* n = st.node;
        switch (n->kind) {
            case kText:
                Emit(COpCode::Text, n->second.pos, n->second.len);
                return;
            case kIf: {
                const std::size_t skip = JumpUnless(n->second);
                Chain(n->first);
                Land(skip);
                return;
            }
            case kElse:
                Else(n);
                return;
            case kWhile:
                While(n);
                return;
            case kIterator:
                if (!loops_.empty()) {
                    loops_.back().iterator = Here();
                }
                ExpressionStatement(n->second);
                return;
            case kBreak:
            case kContinue:
                if (!loops_.empty()) {
                    CLoop& loop = loops_.back();
                    if (outputs_ > loop.outputs) {
                        Emit(COpCode::CloseOutputs,
                             static_cast<std::uint32_t>(outputs_ - loop.outputs));
                    }
                    (n->kind == kBreak ? loop.breaks : loop.continues)
                        .push_back(Emit(COpCode::Jump));
                }
                return;
            case kReturn:
                Emit(COpCode::Return);
                return;
            case kExit:
                Emit(COpCode::Exit);
                return;
            case kSetOutput:
                SetOutput(n);
                return;
            case kTmpl:
                Call(*n->second.node);
                return;
            case kSys: {
                const CSyntaxNode& call = *n->second.node;
                const std::uint32_t count = Arguments(call);
                Emit(COpCode::Sys, Site(CSite::Kind::Other, call.first), count);
                return;
            }
            case kExecute: {
                const std::size_t check = Emit(COpCode::ExecuteCheck);
                Expr(n->second);
                Emit(COpCode::Execute);
                At(check).a = Here();
                return;
            }
            default:
                ExpressionStatement(st);
                return;
        }
    }

    // Bare literals and variables, and the operators that yield a result worth showing, write
    // their value; assignments, steps, calls and `env` expressions do not.
    void ExpressionStatement(const CSlot& e) {
        switch (e.kind) {
            case CSlot::Kind::Empty:
                return;
            case CSlot::Kind::Var:
                Emit(COpCode::WriteVar, e.pos);
                return;
            case CSlot::Kind::String:
                Emit(COpCode::Text, e.pos, e.len);
                return;
            case CSlot::Kind::Long:
            case CSlot::Kind::Double:
                Expr(e);
                Emit(COpCode::WritePop);
                return;
            case CSlot::Kind::Node:
                break;
        }
        const CSyntaxNode& n = *e.node;
        switch (n.kind) {
            case kAssign:
                Assign(n, false);
                return;
            case kIncrement:
            case kDecrement:
                Step(n, 0);
                return;
            case kEnv:
                Env(n, !n.first.IsEmpty());
                if (n.first.IsEmpty()) {
                    Emit(COpCode::Pop);
                }
                return;
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
                Expr(e);
                Emit(COpCode::WritePop);
                return;
            default:
                Expr(e);
                Emit(COpCode::Pop);
                return;
        }
    }

    // Pushes the value of `s`.
    void Expr(const CSlot& s) {
        switch (s.kind) {
            case CSlot::Kind::Empty:
                Emit(COpCode::PushZero);
                return;
            case CSlot::Kind::String:
                Emit(COpCode::PushString, s.pos, s.len);
                return;
            case CSlot::Kind::Long:
                Emit(COpCode::PushLong, static_cast<std::uint32_t>(s.lng));
                return;
            case CSlot::Kind::Double:
                code_.doubles.push_back(s.dbl);
                Emit(COpCode::PushDouble, static_cast<std::uint32_t>(code_.doubles.size() - 1));
                return;
            case CSlot::Kind::Var:
                Emit(COpCode::PushVar, s.pos);
                return;
            case CSlot::Kind::Node:
                break;
        }
        const CSyntaxNode& n = *s.node;
        switch (n.kind) {
            case kAssign:
                Assign(n, true);
                return;
            case kIncrement:
            case kDecrement:
                Step(n, n.first.lng != 0 ? 1 : 2);
                return;
            case kOr:
            case kAnd: {
                Expr(n.first);
                const std::size_t done = Emit(n.kind == kOr ? COpCode::OrJump : COpCode::AndJump);
                Expr(n.second);
                Emit(COpCode::Truth);
                At(done).a = Here();
                return;
            }
            case kNot:
                Expr(n.second);
                Emit(COpCode::Not);
                return;
            case kPlus:
            case kMinus:
                if (n.first.IsEmpty()) {
                    Expr(n.second);
                    Emit(n.kind == kPlus ? COpCode::Positive : COpCode::Negate);
                    return;
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
            case kEqual:
                // The right operand runs first.
                Expr(n.second);
                Expr(n.first);
                Emit(COpCode::Binary, n.kind);
                return;
            case kSubstr:
                Expr(n.first);
                Expr(n.second.node->first);
                Expr(n.second.node->second);
                Emit(COpCode::Substr);
                return;
            case kParam:
                Expr(n.second);
                Emit(COpCode::Param);
                return;
            case kEnv:
                Env(n, false);
                return;
            default:
                Emit(COpCode::PushZero);
                return;
        }
    }

    // "v := v $ a $ b" appends to v in place: the operands right of v run first (b, then a)
    // and v is read last either way, so the result is the same without copying v.
    void Assign(const CSyntaxNode& n, bool keep) {
        const CSlot& rhs = n.second;
        const CSlot* leftmost = &rhs;
        while (leftmost->IsNode() && leftmost->node->kind == kConcat) {
            leftmost = &leftmost->node->first;
        }
        if (leftmost != &rhs && leftmost->IsVar() && leftmost->pos == n.first.pos) {
            std::uint32_t count = 0;
            for (const CSlot* s = &rhs; s != leftmost; s = &s->node->first) {
                Expr(s->node->second);
                ++count;
            }
            Emit(COpCode::Append, n.first.pos, keep ? 1 : 0, count);
            return;
        }
        Expr(rhs);
        Emit(COpCode::Assign, n.first.pos, keep ? 1 : 0);
    }

    void Step(const CSyntaxNode& n, std::uint32_t yield) {
        const std::int32_t delta = n.kind == kIncrement ? 1 : -1;
        Emit(COpCode::Step, n.second.pos, static_cast<std::uint32_t>(delta), yield);
    }

    // The else-chain nests to the right; it is emitted in a loop.
    void Else(const CSyntaxNode* e) {
        std::vector<std::size_t> ends;
        for (;;) {
            const CSyntaxNode* branch = e->second.node;
            const std::size_t skip = JumpUnless(branch->second);
            Chain(branch->first);
            ends.push_back(Emit(COpCode::Jump));
            Land(skip);
            const CSlot& alternative = e->first;
            if (!alternative.IsNode()) {
                break;
            }
            if (alternative.node->kind == kElse) {
                e = alternative.node;
                continue;
            }
            if (alternative.node->kind == kIf) {
                const std::size_t last = JumpUnless(alternative.node->second);
                Chain(alternative.node->first);
                Land(last);
            } else {
                Chain(alternative);
            }
            break;
        }
        for (const std::size_t end : ends) {
            At(end).a = Here();
        }
    }

    // The body's last link is the iterator element, if any: `continue` goes there.
    void While(const CSyntaxNode* n) {
        const auto level = static_cast<std::uint32_t>(loops_.size());
        const std::size_t start = Emit(COpCode::WhileStart, level);
        const std::uint32_t test = Here();
        const std::size_t exit = JumpUnless(n->second);
        loops_.push_back(CLoop{outputs_, SIZE_MAX, {}, {}});
        Chain(n->first);
        const CLoop loop = std::move(loops_.back());
        loops_.pop_back();
        const std::uint32_t step = Here();
        Emit(COpCode::WhileStep, level, test);
        const std::uint32_t end = Here();
        At(start).b = end;
        Land(exit);
        for (const std::size_t b : loop.breaks) {
            At(b).a = end;
        }
        const std::uint32_t next =
            loop.iterator != SIZE_MAX ? static_cast<std::uint32_t>(loop.iterator) : step;
        for (const std::size_t c : loop.continues) {
            At(c).a = next;
        }
    }

    void SetOutput(const CSyntaxNode* n) {
        const CSyntaxNode& call = *n->second.node;
        const std::size_t check = Emit(COpCode::OutputCheck);
        const std::uint32_t count = Arguments(call);
        const std::size_t open =
            Emit(COpCode::OutputOpen, Site(CSite::Kind::Other, call.first), count);
        ++outputs_;
        Chain(n->first);
        --outputs_;
        Emit(COpCode::OutputClose);
        At(check).a = Here();
        At(open).c = Here();
    }

    // Pushes the values of a call's arguments, left to right; returns how many.
    std::uint32_t Arguments(const CSyntaxNode& call) {
        std::uint32_t count = 0;
        for (const CSyntaxNode* link = First(call.second); link != nullptr; link = Next(link)) {
            Expr(link->second);
            ++count;
        }
        return count;
    }

    // A bare variable is passed by reference.
    void Call(const CSyntaxNode& call) {
        std::uint32_t count = 0;
        for (const CSyntaxNode* link = First(call.second); link != nullptr; link = Next(link)) {
            const CSlot& arg = link->second;
            if (arg.IsVar()) {
                Emit(COpCode::PushArgRef, arg.pos);
            } else if (arg.kind == CSlot::Kind::String) {
                Emit(COpCode::StringArg, arg.pos, arg.len);
            } else if (const CSlot* name = PlainEnvName(arg)) {
                Emit(COpCode::EnvArg, Site(CSite::Kind::Env, *name));
            } else {
                Expr(arg);
                Emit(COpCode::PushArg);
            }
            ++count;
        }
        Emit(COpCode::Call, Site(CSite::Kind::Template, call.first), count);
    }

    // Without an environment nothing of the expression runs, its arguments included.
    void Env(const CSyntaxNode& n, bool statement) {
        const CSyntaxNode& firstLink = *n.second.node;
        const std::uint32_t yield = statement ? 0 : 1;
        if (!firstLink.first.IsNode()) {
            const CSyntaxNode& call = *firstLink.second.node;
            const std::uint32_t site = Site(CSite::Kind::Env, call.first);
            if (!call.second.IsNode()) {
                Emit(statement ? COpCode::EnvRun : COpCode::EnvValue, site, 0);
                return;
            }
            const CSlot& arg = call.second.node->second;
            if (!call.second.node->first.IsNode() && arg.IsVar()) {
                // Passed where it lives: nothing runs while the environment reads it.
                Emit(statement ? COpCode::EnvRunVar : COpCode::EnvValueVar, site, arg.pos);
                return;
            }
            const std::size_t check = Emit(COpCode::EnvCheck, 0, 0, yield);
            const std::uint32_t count = Arguments(call);
            Emit(statement ? COpCode::EnvRun : COpCode::EnvValue, site, count);
            At(check).a = Here();
            return;
        }
        const std::size_t check = Emit(COpCode::EnvCheck, 0, 0, yield);
        Emit(COpCode::EnvBegin);
        std::vector<std::size_t> nones;
        for (const CSyntaxNode* link = &firstLink; link != nullptr; link = Next(link)) {
            const CSyntaxNode& call = *link->second.node;
            const std::uint32_t count = Arguments(call);
            const std::uint32_t site = Site(CSite::Kind::Other, call.first);
            if (link->first.IsNode()) {
                nones.push_back(Emit(COpCode::EnvChild, site, count));
            } else {
                Emit(COpCode::EnvLast, site, count, yield);
            }
        }
        Emit(COpCode::EnvEnd);
        const std::size_t done = Emit(COpCode::Jump);
        const std::uint32_t none = Here();
        Emit(COpCode::EnvEnd);
        if (!statement) {
            Emit(COpCode::PushZero);
        }
        At(done).a = Here();
        At(check).a = Here();
        for (const std::size_t at : nones) {
            At(at).c = none;
        }
    }

    CCode& code_;
    std::vector<CLoop> loops_;
    std::size_t outputs_ = 0;  // `setoutput` blocks open at this point
};

}  // namespace

void EmitCode(CCode& code) {
    code.ops.clear();
    code.doubles.clear();
    code.sites.clear();
    CEmitter(code).Run();
}

}  // namespace zelvant::report
