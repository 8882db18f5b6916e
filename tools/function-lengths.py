#!/usr/bin/env python3
"""Lists the functions longer than LIMIT lines (body braces included) in the C++ files
under the given folders: tools/function-lengths.py 80 src server. Exits 1 when any is
found. Comments, strings and raw strings are skipped; a lambda counts toward the
function it sits in."""
import re,sys,os
def strip(src):
    out=[];i=0;n=len(src)
    while i<n:
        c=src[i]
        if src.startswith('//',i):
            j=src.find('\n',i); j=n if j<0 else j; out.append(' '*(j-i)); i=j
        elif src.startswith('/*',i):
            j=src.find('*/',i+2); j=n if j<0 else j+2
            out.append(re.sub(r'[^\n]',' ',src[i:j])); i=j
        elif src.startswith('R"',i):
            m=re.match(r'R"([^(]*)\(',src[i:]); d=m.group(1); j=src.find(')'+d+'"',i)+len(d)+2
            out.append(re.sub(r'[^\n]',' ',src[i:j])); i=j
        elif c in '"\'':
            j=i+1
            while j<n and src[j]!=c:
                j+= 2 if src[j]=='\\' else 1
            out.append(c+' '*(j-i-1)+c); i=j+1
        else: out.append(c); i+=1
    return ''.join(out)
def funcs(path):
    s=strip(open(path,encoding='utf-8',errors='replace').read())
    stack=[]; last=0; res=[]
    for i,c in enumerate(s):
        if c=='{':
            head=s[last:i]
            kind='block'
            inner_fn=any(k=='fn' for k,_,_ in stack)
            if not inner_fn:
                h=head.strip()
                if re.search(r'\b(namespace|class|struct|union|enum)\b[^()]*$',h) or h.endswith('=') or 'extern "C"' in h:
                    kind='scope'
                elif ')' in h:
                    kind='fn'
                else: kind='scope' if not stack else 'block'
            name=re.sub(r'\s+',' ',head.strip())[-90:]
            stack.append((kind,i,name)); last=i+1
        elif c=='}':
            if stack:
                k,st,name=stack.pop()
                if k=='fn' and not any(kk=='fn' for kk,_,_ in stack):
                    l0=s.count('\n',0,st); l1=s.count('\n',0,i)
                    res.append((l1-l0+1,l0+1,name))
            last=i+1
        elif c==';': last=i+1
    return res
lim=int(sys.argv[1])
found=0
for root in sys.argv[2:]:
    for dp,dn,fn in os.walk(root):
        for f in fn:
            if f.endswith(('.cpp','.h')):
                p=os.path.join(dp,f)
                for ln,l0,name in funcs(p):
                    if ln>lim:
                        found+=1
                        print(f"{ln:4d} {p}:{l0} {name}")
sys.exit(1 if found else 0)
