// The OpenGL entry points the drawing backend uses, fetched through the
// context's own look-up so that no loader library is needed.
#pragma once

#include <GL/glcorearb.h>

#include <functional>
#include <string>

namespace zun {

#define ZUN_GL_FUNCTIONS(X)                                                     \
    X(PFNGLGETERRORPROC, GetError)                                              \
    X(PFNGLGETSTRINGPROC, GetString)                                            \
    X(PFNGLGETINTEGERVPROC, GetIntegerv)                                        \
    X(PFNGLENABLEPROC, Enable)                                                  \
    X(PFNGLDISABLEPROC, Disable)                                                \
    X(PFNGLVIEWPORTPROC, Viewport)                                              \
    X(PFNGLSCISSORPROC, Scissor)                                                \
    X(PFNGLCLEARBUFFERFVPROC, ClearBufferfv)                                    \
    X(PFNGLCOLORMASKPROC, ColorMask)                                            \
    X(PFNGLDEPTHFUNCPROC, DepthFunc)                                            \
    X(PFNGLDEPTHMASKPROC, DepthMask)                                            \
    X(PFNGLBLENDEQUATIONPROC, BlendEquation)                                    \
    X(PFNGLBLENDFUNCPROC, BlendFunc)                                            \
    X(PFNGLPIXELSTOREIPROC, PixelStorei)                                        \
    X(PFNGLGENTEXTURESPROC, GenTextures)                                        \
    X(PFNGLDELETETEXTURESPROC, DeleteTextures)                                  \
    X(PFNGLBINDTEXTUREPROC, BindTexture)                                        \
    X(PFNGLACTIVETEXTUREPROC, ActiveTexture)                                    \
    X(PFNGLTEXIMAGE2DPROC, TexImage2D)                                          \
    X(PFNGLTEXSUBIMAGE2DPROC, TexSubImage2D)                                    \
    X(PFNGLTEXPARAMETERIPROC, TexParameteri)                                    \
    X(PFNGLGENSAMPLERSPROC, GenSamplers)                                        \
    X(PFNGLDELETESAMPLERSPROC, DeleteSamplers)                                  \
    X(PFNGLBINDSAMPLERPROC, BindSampler)                                        \
    X(PFNGLSAMPLERPARAMETERIPROC, SamplerParameteri)                            \
    X(PFNGLGENFRAMEBUFFERSPROC, GenFramebuffers)                                \
    X(PFNGLDELETEFRAMEBUFFERSPROC, DeleteFramebuffers)                          \
    X(PFNGLBINDFRAMEBUFFERPROC, BindFramebuffer)                                \
    X(PFNGLFRAMEBUFFERTEXTURE2DPROC, FramebufferTexture2D)                      \
    X(PFNGLFRAMEBUFFERRENDERBUFFERPROC, FramebufferRenderbuffer)                \
    X(PFNGLCHECKFRAMEBUFFERSTATUSPROC, CheckFramebufferStatus)                  \
    X(PFNGLGENRENDERBUFFERSPROC, GenRenderbuffers)                              \
    X(PFNGLDELETERENDERBUFFERSPROC, DeleteRenderbuffers)                        \
    X(PFNGLBINDRENDERBUFFERPROC, BindRenderbuffer)                              \
    X(PFNGLRENDERBUFFERSTORAGEPROC, RenderbufferStorage)                        \
    X(PFNGLBLITFRAMEBUFFERPROC, BlitFramebuffer)                                \
    X(PFNGLREADPIXELSPROC, ReadPixels)                                          \
    X(PFNGLREADBUFFERPROC, ReadBuffer)                                          \
    X(PFNGLDRAWBUFFERPROC, DrawBuffer)                                          \
    X(PFNGLCREATESHADERPROC, CreateShader)                                      \
    X(PFNGLSHADERSOURCEPROC, ShaderSource)                                      \
    X(PFNGLCOMPILESHADERPROC, CompileShader)                                    \
    X(PFNGLGETSHADERIVPROC, GetShaderiv)                                        \
    X(PFNGLGETSHADERINFOLOGPROC, GetShaderInfoLog)                              \
    X(PFNGLDELETESHADERPROC, DeleteShader)                                      \
    X(PFNGLCREATEPROGRAMPROC, CreateProgram)                                    \
    X(PFNGLATTACHSHADERPROC, AttachShader)                                      \
    X(PFNGLBINDATTRIBLOCATIONPROC, BindAttribLocation)                          \
    X(PFNGLBINDFRAGDATALOCATIONPROC, BindFragDataLocation)                      \
    X(PFNGLLINKPROGRAMPROC, LinkProgram)                                        \
    X(PFNGLGETPROGRAMIVPROC, GetProgramiv)                                      \
    X(PFNGLGETPROGRAMINFOLOGPROC, GetProgramInfoLog)                            \
    X(PFNGLUSEPROGRAMPROC, UseProgram)                                          \
    X(PFNGLDELETEPROGRAMPROC, DeleteProgram)                                    \
    X(PFNGLGETUNIFORMLOCATIONPROC, GetUniformLocation)                          \
    X(PFNGLUNIFORM1IPROC, Uniform1i)                                            \
    X(PFNGLUNIFORM1FPROC, Uniform1f)                                            \
    X(PFNGLUNIFORM2FPROC, Uniform2f)                                            \
    X(PFNGLUNIFORM4FPROC, Uniform4f)                                            \
    X(PFNGLGENVERTEXARRAYSPROC, GenVertexArrays)                                \
    X(PFNGLDELETEVERTEXARRAYSPROC, DeleteVertexArrays)                          \
    X(PFNGLBINDVERTEXARRAYPROC, BindVertexArray)                                \
    X(PFNGLGENBUFFERSPROC, GenBuffers)                                          \
    X(PFNGLDELETEBUFFERSPROC, DeleteBuffers)                                    \
    X(PFNGLBINDBUFFERPROC, BindBuffer)                                          \
    X(PFNGLBUFFERDATAPROC, BufferData)                                          \
    X(PFNGLMAPBUFFERRANGEPROC, MapBufferRange)                                  \
    X(PFNGLUNMAPBUFFERPROC, UnmapBuffer)                                        \
    X(PFNGLVERTEXATTRIBPOINTERPROC, VertexAttribPointer)                        \
    X(PFNGLENABLEVERTEXATTRIBARRAYPROC, EnableVertexAttribArray)                \
    X(PFNGLDISABLEVERTEXATTRIBARRAYPROC, DisableVertexAttribArray)              \
    X(PFNGLVERTEXATTRIB4FPROC, VertexAttrib4f)                                  \
    X(PFNGLDRAWARRAYSPROC, DrawArrays)                                          \
    X(PFNGLPOINTSIZEPROC, PointSize)                                            \
    X(PFNGLLINEWIDTHPROC, LineWidth)                                            \
    X(PFNGLFINISHPROC, Finish)                                                  \
    X(PFNGLFLUSHPROC, Flush)

struct GlFunctions {
#define ZUN_GL_MEMBER(type, name) type name = nullptr;
    ZUN_GL_FUNCTIONS(ZUN_GL_MEMBER)
#undef ZUN_GL_MEMBER

    // Fills every entry; false with the first missing name in `missing`.
    bool Load(const std::function<void*(const char*)>& getProc, std::string* missing);
};

}  // namespace zun
